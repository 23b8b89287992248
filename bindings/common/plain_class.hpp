// Plain Python classes whose methods are compiled functions.
//
// Some classes (the study's classes, the phase-boundary classifier) hold host
// objects only (DataFrames, dicts, bound methods, figures, fitted arrays) and
// are used the way plain classes are: attributes are read and replaced freely.
// Classes created with type() give exactly that (an instance __dict__ that the
// cycle collector sees), so such types are built at import time from compiled
// functions instead of wrapping a C++ struct.
#pragma once
#include <pybind11/eval.h>
#include <pybind11/pybind11.h>

#include <string>
#include <utility>

namespace velmora::bind {

namespace py = pybind11;

// A class without bases; `qualname` places nested classes ("Mapping_Wrapper.DataLoader").
inline py::object make_plain_class(py::handle module_name, const char* name, const std::string& qualname,
                                   const char* doc) {
    py::dict ns;
    ns["__module__"] = module_name;
    ns["__qualname__"] = qualname;
    ns["__doc__"] = doc;
    py::object type = py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(&PyType_Type));
    return type(name, py::tuple(), ns);
}

// Adds a compiled method; it binds to instances like a function of the class body.
template <class F, class... Extra>
void add_method(py::object cls, const char* name, F&& f, const Extra&... extra) {
    py::cpp_function method(std::forward<F>(f), py::name(name), py::is_method(cls),
                            py::sibling(py::getattr(cls, name, py::none())), extra...);
    py::setattr(cls, name, method);
}

// Installs __init__(<parameters>) that forwards (self, <forwarded>) to a
// compiled initialiser. A compiled function named __init__ would be taken for
// the constructor of a compiled type, so the signature is a one-line def; it
// also gives the host's own argument errors and an exact signature.
inline void add_init(py::object cls, py::handle module_name, const std::string& qualname,
                     const std::string& parameters, const std::string& forwarded, py::cpp_function initialiser,
                     const char* doc) {
    py::dict scope;
    scope["__name__"] = module_name;
    scope["_initialise"] = std::move(initialiser);
    const std::string code = "def __init__(self" + (parameters.empty() ? std::string() : ", " + parameters) +
                             "):\n    " + "_initialise(self" +
                             (forwarded.empty() ? std::string() : ", " + forwarded) + ")\n";
    py::exec(code, scope);
    py::object init = scope["__init__"];
    init.attr("__qualname__") = qualname + ".__init__";
    init.attr("__doc__") = doc;
    py::setattr(cls, "__init__", init);
}

}  // namespace velmora::bind
