// Conversions of host values at the boundary of the surface models.
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <optional>
#include <string>
#include <vector>

#include "common/errors.hpp"

namespace velmora::bind {

namespace py = pybind11;

// float(x) as the host does it (ints, numpy scalars, objects with __float__).
inline double to_double(py::handle value) {
    const double out = PyFloat_AsDouble(value.ptr());
    if (out == -1.0 && PyErr_Occurred()) throw py::error_already_set();
    return out;
}

inline std::optional<double> to_optional_double(py::handle value) {
    if (value.is_none()) return std::nullopt;
    return to_double(value);
}

// Any iterable of numbers; a 1-D float array is copied without iterating.
inline std::vector<double> to_double_vector(py::handle values) {
    std::vector<double> out;
    if (py::isinstance<py::array_t<double>>(values)) {
        auto arr = py::reinterpret_borrow<py::array_t<double>>(values);
        if (arr.ndim() == 1) {
            auto view = arr.unchecked<1>();
            out.reserve(static_cast<std::size_t>(view.shape(0)));
            for (py::ssize_t i = 0; i < view.shape(0); ++i) out.push_back(view(i));
            return out;
        }
    }
    for (py::handle item : py::iter(values)) out.push_back(to_double(item));
    return out;
}

// Formulas are searched as text; anything else is refused the way the
// host's pattern search refuses it.
inline std::string formula_text(py::handle value) {
    if (!py::isinstance<py::str>(value))
        throw TypeError("expected string or bytes-like object, got '" +
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

}  // namespace velmora::bind
