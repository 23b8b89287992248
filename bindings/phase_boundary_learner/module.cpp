#include <pybind11/pybind11.h>

#include "common/module_setup.hpp"
#include "phase_boundary_learner/registration.hpp"

PYBIND11_MODULE(phase_boundary_learner, m) {
    velmora::bind::setup_module(m);
    // The module namespace of the classifier: numpy, pandas, pyplot and math.
    velmora::bind::bind_imports(m, {{"np", "numpy"}, {"pd", "pandas"}, {"plt", "matplotlib.pyplot"}, {"math", "math"}});
    velmora::bind::register_views(m);
    velmora::bind::register_main_ml_2d(m);
}
