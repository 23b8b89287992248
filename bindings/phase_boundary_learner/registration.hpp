// Registration of the parts of velmora.ml.phase_boundary_learner.
#pragma once
#include <pybind11/pybind11.h>

#include <utility>

namespace velmora::bind {

namespace py = pybind11;

// _Main_ML_2D: a plain Python class (no base classes, instances with a
// __dict__) whose methods are compiled functions.
void register_main_ml_2d(py::module_& m);

// Free-function views of the classifier's building blocks (submodule _views),
// re-exported by the small helper modules of velmora.ml.
void register_views(py::module_& m);

// Adds a compiled method to a class created at run time; it binds to
// instances like a function defined in the class body.
template <class F, class... Extra>
void add_method(py::object cls, const char* name, F&& f, const Extra&... extra) {
    py::cpp_function method(std::forward<F>(f), py::name(name), py::is_method(cls),
                            py::sibling(py::getattr(cls, name, py::none())), extra...);
    py::setattr(cls, name, method);
}

}  // namespace velmora::bind
