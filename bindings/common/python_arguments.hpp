// Argument handling that behaves like a plain host function: all parameters
// required, positional or keyword, with the host's own TypeError texts; and
// numbers that remember whether they were the host's plain int/float or numpy
// scalars (the two treat a zero divisor differently).
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>
#include <string_view>
#include <vector>

namespace velmora::bind {

namespace py = pybind11;

inline std::string quoted_name_list(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t k = 0; k < names.size(); ++k) {
        if (k > 0) out += names.size() == 2 ? " and " : (k + 1 == names.size() ? ", and " : ", ");
        out += "'" + names[k] + "'";
    }
    return out;
}

// Matches *args/**kwargs against required positional-or-keyword parameters.
// Returns one object per parameter, in parameter order.
inline std::vector<py::object> bind_required_arguments(std::string_view function,
                                                       const std::vector<std::string>& params,
                                                       const py::args& args, const py::kwargs& kwargs) {
    const std::string fname = std::string(function) + "()";
    const std::size_t n = params.size();
    if (args.size() > n) {
        throw py::type_error(fname + " takes " + std::to_string(n) + " positional argument" +
                             (n == 1 ? "" : "s") + " but " + std::to_string(args.size()) +
                             (args.size() == 1 ? " was" : " were") + " given");
    }
    std::vector<py::object> bound(n);
    for (std::size_t k = 0; k < args.size(); ++k) bound[k] = args[k];
    for (auto item : kwargs) {
        const std::string key = py::str(item.first);
        std::size_t slot = n;
        for (std::size_t k = 0; k < n; ++k) {
            if (params[k] == key) slot = k;
        }
        if (slot == n) throw py::type_error(fname + " got an unexpected keyword argument '" + key + "'");
        if (bound[slot]) throw py::type_error(fname + " got multiple values for argument '" + key + "'");
        bound[slot] = py::reinterpret_borrow<py::object>(item.second);
    }
    std::vector<std::string> missing;
    for (std::size_t k = 0; k < n; ++k) {
        if (!bound[k]) missing.push_back(params[k]);
    }
    if (!missing.empty()) {
        throw py::type_error(fname + " missing " + std::to_string(missing.size()) + " required positional argument" +
                             (missing.size() == 1 ? "" : "s") + ": " + quoted_name_list(missing));
    }
    return bound;
}

struct HostReal {
    enum class Kind { plain_int, plain_float, numpy };
    double value = 0.0;
    Kind kind = Kind::numpy;
    bool plain() const { return kind != Kind::numpy; }
};

inline std::string type_name(const py::handle& obj) {
    return py::str(py::type::handle_of(obj).attr("__name__"));
}

// A real number: the host's int/float, a numpy scalar, or a one-element array.
inline HostReal host_real(const py::handle& obj, std::string_view function, std::string_view name) {
    const std::string where = std::string(function) + "() argument '" + std::string(name) + "'";
    if (PyLong_Check(obj.ptr())) {
        const double v = PyLong_AsDouble(obj.ptr());
        if (v == -1.0 && PyErr_Occurred()) throw py::error_already_set();
        return {v, HostReal::Kind::plain_int};
    }
    if (PyFloat_CheckExact(obj.ptr())) return {PyFloat_AS_DOUBLE(obj.ptr()), HostReal::Kind::plain_float};
    if (py::isinstance<py::array>(obj)) {
        auto arr = py::reinterpret_borrow<py::array>(obj);
        if (arr.size() != 1 || arr.dtype().kind() == 'c' || arr.dtype().kind() == 'O' ||
            arr.dtype().kind() == 'U' || arr.dtype().kind() == 'S') {
            throw py::type_error(where + " must be a real number, not an array of " +
                                 std::to_string(arr.size()) + " " + std::string(py::str(arr.dtype())) +
                                 " entries");
        }
        return {py::cast<double>(arr.attr("item")()), HostReal::Kind::numpy};
    }
    if (py::isinstance<py::str>(obj) || py::isinstance<py::bytes>(obj) || PyComplex_Check(obj.ptr()) ||
        !PyNumber_Check(obj.ptr())) {
        throw py::type_error(where + " must be a real number, not " + type_name(obj));
    }
    const double v = PyFloat_AsDouble(obj.ptr());
    if (v == -1.0 && PyErr_Occurred()) throw py::error_already_set();
    return {v, HostReal::Kind::numpy};
}

// A count used as a loop bound or offset: anything the host accepts as an index.
inline long long host_index(const py::handle& obj, std::string_view function, std::string_view name) {
    PyObject* idx = PyNumber_Index(obj.ptr());
    if (!idx) {
        PyErr_Clear();
        throw py::type_error(std::string(function) + "() argument '" + std::string(name) +
                             "' must be an integer, not " + type_name(obj));
    }
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(idx, &overflow);
    Py_DECREF(idx);
    if (overflow != 0) {
        throw py::value_error(std::string(function) + "() argument '" + std::string(name) + "' is out of range");
    }
    return v;
}

}  // namespace velmora::bind
