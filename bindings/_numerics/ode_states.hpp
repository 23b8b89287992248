// The integrator's record as the host's ODE users know it: times, and the
// states shaped (components, times), as scipy's solve_ivp gives them.
#pragma once
#include <pybind11/numpy.h>

#include <algorithm>
#include <span>

#include "common/conversions.hpp"
#include "numerics/lsoda.hpp"

namespace velmora::bind {

// Stored states never read past, whatever the record claims.
inline std::size_t stored_times(const numerics::OdeResult& r) {
    return r.n == 0 ? r.t.size() : std::min(r.t.size(), r.y.size() / r.n);
}

inline py::array_t<double> ode_times(const numerics::OdeResult& r) {
    return to_numpy(std::span<const double>(r.t.data(), stored_times(r)));
}

// A copy of the row-major record (one row per time) seen column by column.
inline py::array_t<double> ode_states(const numerics::OdeResult& r) {
    const auto size = static_cast<py::ssize_t>(sizeof(double));
    return py::array_t<double>({r.n, stored_times(r)}, {size, size * static_cast<py::ssize_t>(r.n)}, r.y.data());
}

}  // namespace velmora::bind
