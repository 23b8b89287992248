// Texts and attributes at the boundary of the surface models (numbers and
// arrays go through common/conversions.hpp).
#pragma once
#include <pybind11/pybind11.h>

#include <string>

#include "common/conversions.hpp"
#include "common/errors.hpp"

namespace velmora::bind {

namespace py = pybind11;

// Formulas are searched as text; anything else is refused the way the
// host's pattern search refuses it.
inline std::string formula_text(py::handle value) {
    if (!py::isinstance<py::str>(value))
        throw WrongType("expected string or bytes-like object, got '" +
                        std::string(Py_TYPE(value.ptr())->tp_name) + "'");
    return value.cast<std::string>();
}

// The text of a caught exception, as str(exception) gives it.
inline std::string exception_text(const py::error_already_set& e) {
    return py::str(e.value()).cast<std::string>();
}

inline std::string missing_attribute_text(const char* class_name, const char* attribute) {
    return std::string("'") + class_name + "' object has no attribute '" + attribute + "'";
}

// A float attribute held by the core; `slot(self)` is the stored value.
template <class Object, class Slot>
void def_number(py::class_<Object>& cls, const char* name, Slot slot) {
    cls.def_property(
        name, [slot](Object& self) { return slot(self); },
        [slot, name](Object& self, const py::object& value) { slot(self) = real_number(value, name); });
}

// A float attribute that exists only once the model has set it; `slot(self)`
// is a std::optional<double>.
template <class Object, class Slot>
void def_late_attribute(py::class_<Object>& cls, const char* name, Slot slot) {
    const std::string class_name = py::str(cls.attr("__name__"));
    cls.def_property(
        name,
        [class_name, name, slot](Object& self) {
            const auto& value = slot(self);
            if (!value) throw MissingAttribute(missing_attribute_text(class_name.c_str(), name));
            return *value;
        },
        [slot, name](Object& self, const py::object& value) { slot(self) = real_number(value, name); });
}

}  // namespace velmora::bind
