// Values coming from Python, converted once and refused with one set of texts.
// Every module converts its numbers, counts, arrays and option strings here, so
// the same bad input gives the same exception type and wording everywhere.
// `what` names the value in the message: an attribute ("reactor_length") or a
// function argument (argument_name("carbon_sat", "Kb") gives
// "carbon_sat() argument 'Kb'").
//
//   real number   TypeError      "<what> must be a real number, not '<type>'"
//   integer       TypeError      "<what> must be an integer, not '<type>'"
//                 OverflowError  "<what> does not fit in a 64-bit integer"
//   count         ValueError     "<what> must be non-negative, not <value>"
//   float array   TypeError      "<what> must be an array of real numbers, not '<type>'"
//                 ValueError     "<what> must be an array of real numbers, not an array of dtype <dtype>"
//                 ValueError     "<what> must be one-dimensional (1-D), not <k>-D" (two-dimensional (2-D) for a matrix)
//   integer array the same texts with "an array of integers" (floats are refused, not truncated)
//   length        ValueError     "<what> must hold <n> entries, not <m>"
//   option        ValueError     "Invalid <what>: '<value>'. Must be 'a' or 'b'."
//
// Indices into the core's arrays are integers here; the core checks them
// against the arrays with numpy's IndexError text ("index 7 is out of bounds
// for axis 0 with size 6").
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/errors.hpp"

namespace velmora::bind {

namespace py = pybind11;

using FloatArray = py::array_t<double, py::array::c_style | py::array::forcecast>;
using IntegerArray = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>;

// The type's name as the interpreter prints it in its own messages ('str', 'NoneType', 'numpy.ndarray').
inline std::string python_type_name(py::handle obj) { return Py_TYPE(obj.ptr())->tp_name; }

// str() of a host object (of a caught exception's value: its message).
inline std::string text_of(py::handle obj) { return py::str(obj).cast<std::string>(); }

inline std::string argument_name(std::string_view function, std::string_view name) {
    std::string text(function);
    text.append("() argument '").append(name).append("'");
    return text;
}

struct HostReal {
    // The host's own int (bool included) and float divide by zero with an
    // exception; numpy scalars and one-element arrays give inf/nan with a warning.
    enum class Kind { plain_int, plain_float, numpy };
    double value = 0.0;
    Kind kind = Kind::numpy;
    bool plain() const { return kind != Kind::numpy; }
};

// A real number: the host's int (bool included) or float, a numpy scalar, a
// one-element numeric array, or any object with __float__ / __index__.
// Strings, bytes, complex numbers, None and larger arrays are refused.
inline HostReal host_real(py::handle obj, std::string_view what) {
    PyObject* p = obj.ptr();
    const auto refuse = [&]() -> HostReal {
        throw py::type_error(std::string(what) + " must be a real number, not '" + python_type_name(obj) + "'");
    };
    if (PyLong_Check(p)) {
        const double v = PyLong_AsDouble(p);
        if (v == -1.0 && PyErr_Occurred()) throw py::error_already_set();  // beyond the float range
        return {v, HostReal::Kind::plain_int};  // bool divides as int does
    }
    if (PyFloat_CheckExact(p)) return {PyFloat_AS_DOUBLE(p), HostReal::Kind::plain_float};
    if (py::isinstance<py::array>(obj)) {
        auto arr = py::reinterpret_borrow<py::array>(obj);
        const char kind = arr.dtype().kind();
        if (arr.size() != 1 || (kind != 'f' && kind != 'i' && kind != 'u' && kind != 'b')) return refuse();
        return {*FloatArray::ensure(arr).data(), HostReal::Kind::numpy};
    }
    if (PyUnicode_Check(p) || PyBytes_Check(p) || PyComplex_Check(p) || !PyNumber_Check(p)) return refuse();
    const double v = PyFloat_AsDouble(p);
    if (v == -1.0 && PyErr_Occurred()) {
        if (!PyErr_ExceptionMatches(PyExc_TypeError)) throw py::error_already_set();
        PyErr_Clear();
        return refuse();
    }
    return {v, HostReal::Kind::numpy};
}

inline double real_number(py::handle obj, std::string_view what) { return host_real(obj, what).value; }

inline std::optional<double> optional_real_number(py::handle obj, std::string_view what) {
    if (obj.is_none()) return std::nullopt;
    return real_number(obj, what);
}

// An integer: the host's int (bool included), numpy integers, anything with
// __index__. Floats are refused even when whole.
inline long long integer_number(py::handle obj, std::string_view what) {
    PyObject* index = PyNumber_Index(obj.ptr());
    if (!index) {
        if (!PyErr_ExceptionMatches(PyExc_TypeError)) throw py::error_already_set();
        PyErr_Clear();
        throw py::type_error(std::string(what) + " must be an integer, not '" + python_type_name(obj) + "'");
    }
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(index, &overflow);
    Py_DECREF(index);
    if (overflow != 0) {
        PyErr_SetString(PyExc_OverflowError, (std::string(what) + " does not fit in a 64-bit integer").c_str());
        throw py::error_already_set();
    }
    return v;
}

// A number of things: an integer that is not negative.
inline std::size_t count_number(py::handle obj, std::string_view what) {
    const long long v = integer_number(obj, what);
    if (v < 0) throw py::value_error(std::string(what) + " must be non-negative, not " + std::to_string(v));
    return static_cast<std::size_t>(v);
}

// The array of any array-like whose dtype kind is one of `kinds` (no copy when
// it already is one); `noun` says what it must hold. Text, objects and ragged
// sequences are refused.
inline py::array typed_array(py::handle obj, std::string_view what, std::string_view kinds, const char* noun) {
    const auto refuse = [&] {
        throw py::type_error(std::string(what) + " must be an array of " + noun + ", not '" + python_type_name(obj) +
                             "'");
    };
    if (obj.is_none() || PyUnicode_Check(obj.ptr()) || PyBytes_Check(obj.ptr())) refuse();
    py::array arr = py::array::ensure(obj);
    if (!arr) refuse();
    if (kinds.find(arr.dtype().kind()) == std::string_view::npos)
        throw py::value_error(std::string(what) + " must be an array of " + noun + ", not an array of dtype " +
                              std::string(py::str(arr.dtype())));
    return arr;
}

// A float64 array of any numeric array or nested sequence of numbers.
inline FloatArray float_array(py::handle obj, std::string_view what) {
    return FloatArray::ensure(typed_array(obj, what, "fiub", "real numbers"));
}

// An int64 array of any integer array; floats are refused rather than truncated.
inline IntegerArray integer_array(py::handle obj, std::string_view what) {
    return IntegerArray::ensure(typed_array(obj, what, "iu", "integers"));
}

// Refuses an array of another rank than `rank` (1 or 2).
inline void check_rank(py::ssize_t ndim, int rank, std::string_view what) {
    if (ndim != rank)
        throw py::value_error(std::string(what) + " must be " + (rank == 1 ? "one" : "two") + "-dimensional (" +
                              std::to_string(rank) + "-D), not " + std::to_string(ndim) + "-D");
}

// A float64 array of the given rank (1 or 2).
inline FloatArray float_array(py::handle obj, std::string_view what, int rank) {
    FloatArray arr = float_array(obj, what);
    check_rank(arr.ndim(), rank, what);
    return arr;
}
inline FloatArray float_vector(py::handle obj, std::string_view what) { return float_array(obj, what, 1); }
inline FloatArray float_matrix(py::handle obj, std::string_view what) { return float_array(obj, what, 2); }

// The entries of a converted array, copied, in C order.
template <class T>
std::vector<T> entries_of(const py::array_t<T, py::array::c_style | py::array::forcecast>& arr) {
    return std::vector<T>(arr.data(), arr.data() + arr.size());
}

inline std::vector<double> real_vector(py::handle obj, std::string_view what) {
    return entries_of(float_vector(obj, what));
}

// Every entry of an array of any shape (a plain number is one entry).
inline std::vector<double> flat_real_vector(py::handle obj, std::string_view what) {
    return entries_of(float_array(obj, what));
}

inline std::vector<std::int64_t> flat_integer_vector(py::handle obj, std::string_view what) {
    return entries_of(integer_array(obj, what));
}

// The entries of a converted array as the core takes them (valid while `a` lives).
inline std::span<const double> const_span(const FloatArray& a) {
    return {a.data(), static_cast<std::size_t>(a.size())};
}

inline void check_length(std::size_t got, std::size_t expected, std::string_view what) {
    if (got != expected)
        throw py::value_error(std::string(what) + " must hold " + std::to_string(expected) + " entries, not " +
                              std::to_string(got));
}

inline py::array_t<double> to_numpy(std::span<const double> values) {
    py::array_t<double> out(static_cast<py::ssize_t>(values.size()));
    std::copy(values.begin(), values.end(), out.mutable_data());
    return out;
}

// The ValueError for an option value outside `allowed`.
[[noreturn]] inline void invalid_option(std::string_view what, std::string_view value,
                                        std::initializer_list<std::string_view> allowed) {
    throw py::value_error(invalid_option_text(what, value, allowed));
}

}  // namespace velmora::bind
