#include <pybind11/pybind11.h>

#include "common/module_setup.hpp"
#include "phase_boundary_learner/registration.hpp"

PYBIND11_MODULE(phase_boundary_learner, m) {
    namespace py = pybind11;
    velmora::bind::setup_module(m);
    // The module namespace of the classifier: numpy, pandas, pyplot and math.
    m.attr("np") = py::module_::import("numpy");
    m.attr("pd") = py::module_::import("pandas");
    m.attr("plt") = py::module_::import("matplotlib.pyplot");
    m.attr("math") = py::module_::import("math");
    velmora::bind::register_views(m);
    velmora::bind::register_main_ml_2d(m);
}
