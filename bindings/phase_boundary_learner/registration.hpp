// Registration of the parts of velmora.ml.phase_boundary_learner.
#pragma once
#include <pybind11/pybind11.h>

namespace velmora::bind {

namespace py = pybind11;

// _Main_ML_2D: a plain Python class (no base classes, instances with a
// __dict__) whose methods are compiled functions.
void register_main_ml_2d(py::module_& m);

// Free-function views of the classifier's building blocks (submodule _views),
// re-exported by the small helper modules of velmora.ml.
void register_views(py::module_& m);

}  // namespace velmora::bind
