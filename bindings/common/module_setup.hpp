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
    py::object out = py::module_::import("sys").attr("stdout");
    out.attr("write")(py::str(line.data(), line.size()));
    out.attr("write")("\n");
}

inline void setup_module(py::module_& /*m*/) {
    set_line_sink(&write_to_python_stdout);
    set_interrupt_check([] {
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    });
    // The core's exceptions, each as its one Python exception (cpp/common/errors.hpp).
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const velmora::InvalidValue& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        } catch (const velmora::MissingKey& e) {
            PyErr_SetString(PyExc_KeyError, e.what());
        } catch (const velmora::OutOfRange& e) {
            PyErr_SetString(PyExc_IndexError, e.what());
        } catch (const velmora::DivisionByZero& e) {
            PyErr_SetString(PyExc_ZeroDivisionError, e.what());
        } catch (const velmora::MissingAttribute& e) {
            PyErr_SetString(PyExc_AttributeError, e.what());
        } catch (const velmora::WrongType& e) {
            PyErr_SetString(PyExc_TypeError, e.what());
        } catch (const velmora::NotSupported& e) {
            PyErr_SetString(PyExc_NotImplementedError, e.what());
        } catch (const velmora::UndefinedName& e) {
            PyErr_SetString(PyExc_NameError, e.what());
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
