#include "solver_result.hpp"

#include "_numerics/ode_states.hpp"

namespace velmora::bind {

namespace py = pybind11;
using namespace pybind11::literals;

py::object solver_result_to_python(const numerics::OdeResult& result) {
    // scipy's own result type (solve_ivp returns a subclass of it): a dict whose
    // keys also read as attributes.
    const py::object optimize_result = py::module_::import("scipy.optimize").attr("OptimizeResult");
    return optimize_result("t"_a = ode_times(result), "y"_a = ode_states(result), "sol"_a = py::none(),
                           "t_events"_a = py::none(), "y_events"_a = py::none(), "nfev"_a = result.nfev,
                           "njev"_a = result.njev, "nlu"_a = result.nlu, "status"_a = result.status,
                           "message"_a = result.message, "success"_a = result.success);
}

}  // namespace velmora::bind
