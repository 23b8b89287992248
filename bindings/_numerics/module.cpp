// velmora._numerics: the core's integrator, quadrature and quantiles called on
// Python callables, so that tests and benchmarks can compare them with scipy.
// The model itself calls the C++ functions directly.
#include <pybind11/pybind11.h>

#include "_numerics/registrations.hpp"
#include "common/module_setup.hpp"

PYBIND11_MODULE(_numerics, m) {
    velmora::bind::setup_module(m);
    m.doc() = "Internal numerics of velmora: LSODA integrator, adaptive quadrature, quantiles.";
    velmora::bind::register_ode_result(m);
    velmora::bind::register_ode_solver(m);
    velmora::bind::register_quadrature(m);
    velmora::bind::register_quantiles(m);
    velmora::bind::register_benchmark_problems(m);
}
