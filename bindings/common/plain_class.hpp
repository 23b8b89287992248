// Plain Python classes whose methods are compiled functions.
//
// The study's classes and the phase classifier hold host objects only
// (DataFrames, dicts, bound methods, fitted arrays) in attributes that users
// read and replace freely, and they have no base class. type(name, (), body)
// makes exactly such a class (its instances get a __dict__ the cycle collector
// sees); the methods are compiled functions bound like functions of a class
// body, with pybind11's own argument handling.
#pragma once
#include <pybind11/pybind11.h>

#include <string>
#include <utility>

namespace velmora::bind {

namespace py = pybind11;

// A class without bases; `qualname` places nested classes ("Mapping_Wrapper.DataLoader").
inline py::object make_plain_class(py::handle module_name, const char* name, const std::string& qualname,
                                   const char* doc) {
    py::dict body;
    body["__module__"] = module_name;
    body["__qualname__"] = qualname;
    body["__doc__"] = doc;
    py::object type = py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(&PyType_Type));
    return type(name, py::tuple(), body);
}

// Adds a compiled method; it binds to instances like a function of the class body.
template <class F, class... Extra>
void add_method(py::object cls, const char* name, F&& f, const Extra&... extra) {
    py::cpp_function method(std::forward<F>(f), py::name(name), py::is_method(cls),
                            py::sibling(py::getattr(cls, name, py::none())), extra...);
    py::setattr(cls, name, method);
}

// Adds the constructor. pybind11 treats a function named __init__ as the
// constructor of a compiled type, so the function carries the class's name
// (which is also what its argument errors then quote) and is stored as __init__.
template <class F, class... Extra>
void add_init(py::object cls, const char* class_name, F&& f, const Extra&... extra) {
    py::cpp_function init(std::forward<F>(f), py::name(class_name), py::is_method(cls), extra...);
    py::setattr(cls, "__init__", init);
}

}  // namespace velmora::bind
