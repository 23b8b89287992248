// One registration function per concept of the internal module velmora._numerics.
#pragma once
#include <pybind11/pybind11.h>

namespace velmora::bind {

void register_ode_result(pybind11::module_& m);
void register_ode_solver(pybind11::module_& m);
void register_quadrature(pybind11::module_& m);
void register_quantiles(pybind11::module_& m);
void register_benchmark_problems(pybind11::module_& m);

}  // namespace velmora::bind
