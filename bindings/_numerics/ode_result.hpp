// The integrator's record as the host's ODE users know it: scipy's own result
// type (solve_ivp returns a subclass of it), a dict whose keys also read as
// attributes (result.t, result.y, result.success, ...), with y shaped
// (components, times). Only times with a stored state are shown, whatever the
// record claims.
#pragma once
#include <pybind11/numpy.h>

#include <span>

#include "common/conversions.hpp"
#include "numerics/lsoda.hpp"

namespace velmora::bind {

inline py::object ode_result(const numerics::OdeResult& r) {
    using namespace pybind11::literals;
    const auto size = static_cast<py::ssize_t>(sizeof(double));
    // A copy of the row-major record (one row per time) seen column by column.
    const py::array_t<double> y({r.n, r.stored_times()}, {size, size * static_cast<py::ssize_t>(r.n)}, r.y.data());
    const py::object optimize_result = py::module_::import("scipy.optimize").attr("OptimizeResult");
    return optimize_result("t"_a = to_numpy(std::span<const double>(r.t.data(), r.stored_times())), "y"_a = y,
                           "sol"_a = py::none(), "t_events"_a = py::none(), "y_events"_a = py::none(),
                           "nfev"_a = r.nfev, "njev"_a = r.njev, "nlu"_a = r.nlu, "status"_a = r.status,
                           "message"_a = r.message, "success"_a = r.success);
}

}  // namespace velmora::bind
