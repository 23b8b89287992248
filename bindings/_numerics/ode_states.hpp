// The integrator's record as the host's ODE users know it: times, and the
// states shaped (components, times), as scipy's solve_ivp gives them. Only
// times with a stored state are shown, whatever the record claims.
#pragma once
#include <pybind11/numpy.h>

#include <span>

#include "common/conversions.hpp"
#include "numerics/lsoda.hpp"

namespace velmora::bind {

inline py::array_t<double> ode_times(const numerics::OdeResult& r) {
    return to_numpy(std::span<const double>(r.t.data(), r.stored_times()));
}

// A copy of the row-major record (one row per time) seen column by column.
inline py::array_t<double> ode_states(const numerics::OdeResult& r) {
    const auto size = static_cast<py::ssize_t>(sizeof(double));
    return py::array_t<double>({r.n, r.stored_times()}, {size, size * static_cast<py::ssize_t>(r.n)}, r.y.data());
}

}  // namespace velmora::bind
