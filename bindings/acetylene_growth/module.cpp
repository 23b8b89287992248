// velmora.modules.acetylene_growth: the two surface-growth models of C2H2 on
// floating catalyst particles.
#include <pybind11/pybind11.h>

#include "common/module_setup.hpp"

namespace py = pybind11;

namespace velmora::bind {
// One per class, in puretzky_binding.cpp and ma_binding.cpp.
void register_puretzky_surface_kinetics(py::module_& m);
void register_ma_surface_kinetics(py::module_& m);
}  // namespace velmora::bind

PYBIND11_MODULE(acetylene_growth, m) {
    velmora::bind::setup_module(m);
    // The module namespace carries the numerical libraries the models are
    // written against.
    velmora::bind::bind_imports(m, {{"nnp", "numpy"}, {"math", "math"}, {"solve_ivp", "scipy.integrate", "solve_ivp"}});
    velmora::bind::register_puretzky_surface_kinetics(m);
    velmora::bind::register_ma_surface_kinetics(m);
}
