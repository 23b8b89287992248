// The integrator of the internal module velmora._numerics (solve_ivp, OdeResult).
#pragma once
#include <pybind11/pybind11.h>

namespace velmora::bind {

void register_ode_solver(pybind11::module_& m);

}  // namespace velmora::bind
