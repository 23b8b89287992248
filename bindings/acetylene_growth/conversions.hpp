// Texts and attributes at the boundary of the surface models (numbers and
// arrays go through common/conversions.hpp).
#pragma once
#include <pybind11/pybind11.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

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

// Float attributes held by a part of the core model: `part_of(self)` is the
// part, each field a name and a member of it. An optional member is an
// attribute that exists only once the model has set it.
template <class Part, class Value = double, class Object, class PartOf>
void def_numbers(py::class_<Object>& cls, PartOf part_of,
                 std::initializer_list<std::pair<const char*, Value Part::*>> fields) {
    const std::string class_name = py::str(cls.attr("__name__"));
    for (const auto& [name, member] : fields) {
        cls.def_property(
            name,
            [=](Object& self) -> double {
                if constexpr (std::is_same_v<Value, double>) {
                    return part_of(self).*member;
                } else {
                    const Value& value = part_of(self).*member;
                    if (!value) throw MissingAttribute(missing_attribute_text(class_name.c_str(), name));
                    return *value;
                }
            },
            [=](Object& self, const py::object& value) { part_of(self).*member = real_number(value, name); });
    }
}

}  // namespace velmora::bind
