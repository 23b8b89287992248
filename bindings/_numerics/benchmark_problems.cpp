// The integrator's built-in benchmark problems (compiled right-hand sides),
// timed by benchmarks/bench_numerics.py against scipy on the same problems.
#include <pybind11/pybind11.h>

#include "_numerics/registrations.hpp"
#include "common/conversions.hpp"
#include "numerics/benchmark_problems.hpp"

namespace py = pybind11;

namespace velmora::bind {

void register_benchmark_problems(py::module_& m) {
    m.def(
        "benchmark_problem",
        [](const std::string& name, double rtol, double atol, const py::object& t_end) {
            return numerics::benchmark_problem(name, rtol, atol, optional_real_number(t_end, "t_end"));
        },
        py::arg("name"), py::arg("rtol") = 1e-6, py::arg("atol") = 1e-10, py::arg("t_end") = py::none(),
        "Integrates a built-in benchmark problem ('robertson' or 'stiff141') with a C++\n"
        "right-hand side; used by benchmarks/bench_numerics.py.");
}

}  // namespace velmora::bind
