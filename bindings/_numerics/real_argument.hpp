// Python numbers handed to the numerics (interval ends, step sizes, values
// returned by callables): anything float() accepts, and a TypeError naming
// the argument for anything else.
#pragma once
#include <pybind11/pybind11.h>

#include <string>

#include "common/errors.hpp"

namespace velmora::bind {

inline double real_argument(const pybind11::handle& value, const std::string& what) {
    if (!PyUnicode_Check(value.ptr()) && !PyBytes_Check(value.ptr())) {
        const double v = PyFloat_AsDouble(value.ptr());
        if (!(v == -1.0 && PyErr_Occurred())) return v;
        PyErr_Clear();
    }
    throw TypeError(what + " must be a real number, not " + std::string(Py_TYPE(value.ptr())->tp_name));
}

}  // namespace velmora::bind
