// Arguments of the population-balance kernels and the spans they become.
// Inputs are converted (never written); results are new arrays.
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <span>
#include <string>

#include "common/conversions.hpp"
#include "common/errors.hpp"
#include "pbe/matrix_view.hpp"

namespace velmora::bind {

namespace py = pybind11;

using IndexArray = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>;

// The scalar and array arguments of one kernel, converted with the kernel's
// name in every message.
struct KernelArguments {
    const char* kernel;

    std::string what(const char* name) const { return argument_name(kernel, name); }
    double real(const py::object& value, const char* name) const { return real_number(value, what(name)); }
    std::int64_t integer(const py::object& value, const char* name) const {
        return integer_number(value, what(name));
    }
    FloatArray vector(const py::object& value, const char* name) const { return float_vector(value, what(name)); }
    FloatArray matrix(const py::object& value, const char* name) const { return float_matrix(value, what(name)); }
    // Integer tables: any integer dtype is accepted and widened to int64;
    // floats are refused rather than truncated.
    IndexArray index_table(const py::object& value, const char* name) const {
        const py::array a = py::array::ensure(value);
        if (!a)
            throw py::type_error(what(name) + " must be an array of integers, not '" + python_type_name(value) + "'");
        if (a.dtype().kind() != 'i' && a.dtype().kind() != 'u')
            throw py::value_error(what(name) + " must be an array of integers, not an array of dtype " +
                                  std::string(py::str(a.dtype())));
        check_rank(a.ndim(), 2, what(name));
        return IndexArray::ensure(a);
    }
    // A section count: sizes the result arrays, so it may not be negative.
    std::int64_t count(const py::object& value, const char* name) const {
        return static_cast<std::int64_t>(count_number(value, what(name)));
    }
};

inline std::span<double> mutable_span(FloatArray& a) {
    return {a.mutable_data(), static_cast<std::size_t>(a.size())};
}

inline pbe::MatrixView<const double> const_matrix(const FloatArray& a) {
    return {std::span<const double>(a.data(), static_cast<std::size_t>(a.size())), a.shape(0), a.shape(1)};
}

inline pbe::MatrixView<double> mutable_matrix(FloatArray& a) {
    return {std::span<double>(a.mutable_data(), static_cast<std::size_t>(a.size())), a.shape(0), a.shape(1)};
}

inline pbe::MatrixView<const std::int64_t> const_matrix(const IndexArray& a) {
    return {std::span<const std::int64_t>(a.data(), static_cast<std::size_t>(a.size())), a.shape(0), a.shape(1)};
}

void register_beta_matrix_kernel(py::module_& m);
void register_aggregation_classes_kernel(py::module_& m);
void register_derivatives_kernel(py::module_& m);

}  // namespace velmora::bind
