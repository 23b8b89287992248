// Numbers given to the model from Python (keywords, attribute assignments,
// method arguments): what float()/index() accept, and a TypeError naming the
// attribute for anything else (an int beyond C long gives the host's OverflowError).
#pragma once
#include <pybind11/pybind11.h>

#include <string>

namespace velmora::bind {

namespace py = pybind11;

// A Python int that is not a bool.
inline bool is_python_int(const py::handle& value) {
    return py::isinstance<py::int_>(value) && !py::isinstance<py::bool_>(value);
}

inline double real_value(const py::handle& value, const std::string& name) {
    if (!PyUnicode_Check(value.ptr()) && !PyBytes_Check(value.ptr())) {
        const double v = PyFloat_AsDouble(value.ptr());
        if (!(v == -1.0 && PyErr_Occurred())) return v;
        PyErr_Clear();
    }
    throw py::type_error(name + " must be a real number, not '" + std::string(Py_TYPE(value.ptr())->tp_name) + "'");
}

inline long integer_value(const py::handle& value, const std::string& name) {
    PyObject* index = PyNumber_Index(value.ptr());
    if (!index) {
        PyErr_Clear();
        throw py::type_error(name + " must be an integer, not '" + std::string(Py_TYPE(value.ptr())->tp_name) + "'");
    }
    const long v = PyLong_AsLong(index);
    Py_DECREF(index);
    if (v == -1 && PyErr_Occurred()) throw py::error_already_set();
    return v;
}

}  // namespace velmora::bind
