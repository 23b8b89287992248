// Views of converted arrays as the classifier's matrices and vectors, and the
// way back. Arrays are converted with common/conversions.hpp (float_array), so
// a bad array gets the same message here as in every other module.
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <span>
#include <string>

#include "common/conversions.hpp"
#include "common/errors.hpp"
#include "ml/matrix.hpp"

namespace velmora::bind::ml_arrays {

namespace py = pybind11;
using DoubleArray = FloatArray;

// The (m, n) view of a 2-D array.
inline ml::MatrixView matrix_view(const DoubleArray& a, const char* what) {
    check_rank(a.ndim(), 2, what);
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
