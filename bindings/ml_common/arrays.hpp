// Conversions between numpy arrays and the classifier's matrices and vectors.
// Every array that enters the core is checked here for its rank and sizes.
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/conversions.hpp"
#include "common/errors.hpp"
#include "ml/matrix.hpp"

namespace velmora::bind::ml_arrays {

namespace py = pybind11;
using namespace pybind11::literals;
using DoubleArray = FloatArray;

// A C-contiguous float64 array of obj, or nothing if numpy cannot convert it.
inline std::optional<DoubleArray> try_doubles(py::handle obj) {
    if (obj.is_none()) return std::nullopt;
    auto a = DoubleArray::ensure(obj);
    if (!a) return std::nullopt;
    return a;
}

// As try_doubles, but a failed conversion raises numpy's own error.
inline DoubleArray doubles(py::handle obj) {
    if (auto a = try_doubles(obj)) return *a;
    py::module_::import("numpy").attr("asarray")(obj, "dtype"_a = "float64");
    throw WrongType("cannot convert the argument to a float array");
}

// The (m, n) view of a 2-D array, with the unpacking errors of `m, n = X.shape`.
inline ml::MatrixView matrix_view(const DoubleArray& a) {
    if (a.ndim() < 2)
        throw InvalidValue("not enough values to unpack (expected 2, got " + std::to_string(a.ndim()) + ")");
    if (a.ndim() > 2) throw InvalidValue("too many values to unpack (expected 2)");
    return {a.data(), static_cast<std::size_t>(a.shape(0)), static_cast<std::size_t>(a.shape(1))};
}

// The entries of a 1-D array (a scalar counts as one entry).
inline std::span<const double> vector_view(const DoubleArray& a, const char* what) {
    if (a.ndim() > 1) throw InvalidValue(std::string(what) + " must be a 1-D array");
    return {a.data(), static_cast<std::size_t>(a.size())};
}

inline py::array_t<double> to_numpy(const ml::Matrix& M) {
    py::array_t<double> out({static_cast<py::ssize_t>(M.rows), static_cast<py::ssize_t>(M.cols)});
    std::copy(M.data.begin(), M.data.end(), out.mutable_data());
    return out;
}

}  // namespace velmora::bind::ml_arrays
