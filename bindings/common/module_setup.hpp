// Shared set-up of every extension module: the core's exception types become
// the matching Python exceptions and printed lines go to Python's sys.stdout.
#pragma once
#include <pybind11/pybind11.h>

#include <initializer_list>
#include <string_view>

#include "common/errors.hpp"
#include "common/interrupt.hpp"
#include "common/output.hpp"

namespace velmora::bind {

namespace py = pybind11;

inline void write_to_python_stdout(std::string_view line) {
    py::gil_scoped_acquire gil;
    py::print(py::str(line.data(), line.size()));
}

inline void setup_module(py::module_& /*m*/) {
    set_line_sink(&write_to_python_stdout);
    set_interrupt_check([] {
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    });
    // The core's exceptions, each as its one Python exception (in the order of velmora::ErrorKind).
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const velmora::Error& e) {
            PyObject* const python_types[] = {PyExc_ValueError,      PyExc_KeyError,       PyExc_IndexError,
                                              PyExc_ZeroDivisionError, PyExc_AttributeError, PyExc_TypeError,
                                              PyExc_NotImplementedError, PyExc_NameError};
            PyErr_SetString(python_types[static_cast<int>(e.kind)], e.what());
        }
    });
}

// The names a module's namespace carries, bound as a Python module's imports
// would bind them: a module, or one attribute of it.
struct ModuleImport {
    const char* name;
    const char* module;
    const char* attribute = nullptr;
};

inline void bind_imports(py::module_& m, std::initializer_list<ModuleImport> imports) {
    for (const auto& [name, module, attribute] : imports) {
        py::object value = py::module_::import(module);
        py::setattr(m, name, attribute ? py::getattr(value, attribute) : value);
    }
}

}  // namespace velmora::bind
