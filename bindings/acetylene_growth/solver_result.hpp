// Integration results as the host's ODE users know them: a dictionary whose
// entries also read as attributes (result.t, result.y, result.success, ...),
// with y shaped (components, times).
#pragma once
#include <pybind11/pybind11.h>

#include "numerics/lsoda.hpp"

namespace velmora::bind {

pybind11::object solver_result_to_python(const numerics::OdeResult& result);

}  // namespace velmora::bind
