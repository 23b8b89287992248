// Conversions between numpy arrays and the spans of the population-balance
// kernels. Inputs are converted (never written); results are new arrays.
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <span>
#include <string>

#include "common/errors.hpp"
#include "pbe/matrix_view.hpp"

namespace velmora::bind {

namespace py = pybind11;

using FloatArray = py::array_t<double, py::array::c_style | py::array::forcecast>;
using IndexArray = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>;

inline void require_ndim(const py::array& a, py::ssize_t ndim, const char* name) {
    if (a.ndim() != ndim)
        throw ValueError(std::string(name) + ": Buffer has wrong number of dimensions (expected " +
                         std::to_string(ndim) + ", got " + std::to_string(a.ndim()) + ")");
}

inline std::span<const double> const_span(const FloatArray& a, const char* name) {
    require_ndim(a, 1, name);
    return {a.data(), static_cast<std::size_t>(a.size())};
}

inline std::span<double> mutable_span(FloatArray& a) {
    return {a.mutable_data(), static_cast<std::size_t>(a.size())};
}

inline pbe::MatrixView<const double> const_matrix(const FloatArray& a, const char* name) {
    require_ndim(a, 2, name);
    return {std::span<const double>(a.data(), static_cast<std::size_t>(a.size())), a.shape(0), a.shape(1)};
}

inline pbe::MatrixView<double> mutable_matrix(FloatArray& a) {
    return {std::span<double>(a.mutable_data(), static_cast<std::size_t>(a.size())), a.shape(0), a.shape(1)};
}

// Integer tables: any integer dtype is accepted and widened to int64; floats
// are refused rather than truncated.
inline IndexArray as_index_table(const py::array& a, const char* name) {
    const char kind = a.dtype().kind();
    if (kind != 'i' && kind != 'u')
        throw ValueError(std::string(name) + ": Buffer dtype mismatch, expected an integer array but got '" +
                         std::string(py::str(a.dtype())) + "'");
    require_ndim(a, 2, name);
    return IndexArray::ensure(a);
}

inline pbe::MatrixView<const std::int64_t> const_matrix(const IndexArray& a) {
    return {std::span<const std::int64_t>(a.data(), static_cast<std::size_t>(a.size())), a.shape(0), a.shape(1)};
}

inline py::ssize_t checked_dimension(std::int64_t n) {
    if (n < 0) throw ValueError("negative dimensions are not allowed");
    return static_cast<py::ssize_t>(n);
}

void register_beta_matrix_kernel(py::module_& m);
void register_aggregation_classes_kernel(py::module_& m);
void register_derivatives_kernel(py::module_& m);

}  // namespace velmora::bind
