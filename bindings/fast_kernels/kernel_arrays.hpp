// Arguments of the population-balance kernels and the views the core works on.
// Inputs are converted (never written) and held for the call; results are new
// arrays.
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/conversions.hpp"
#include "common/errors.hpp"
#include "pbe/matrix_view.hpp"

namespace velmora::bind {

namespace py = pybind11;

// The scalar and array arguments of one kernel, converted with the kernel's
// name in every message. The converted arrays live as long as this object, so
// the views it hands out stay valid for the kernel call.
class KernelArguments {
public:
    explicit KernelArguments(const char* kernel) : kernel_(kernel) {}

    double real(const py::object& value, const char* name) const { return real_number(value, what(name)); }
    std::int64_t integer(const py::object& value, const char* name) const {
        return integer_number(value, what(name));
    }
    // A section count: sizes the result arrays, so it may not be negative.
    std::int64_t count(const py::object& value, const char* name) const {
        return static_cast<std::int64_t>(count_number(value, what(name)));
    }
    std::span<const double> vector(const py::object& value, const char* name) {
        return const_span(hold(float_vector(value, what(name))));
    }
    pbe::MatrixView<const double> matrix(const py::object& value, const char* name) {
        const FloatArray a = hold(float_matrix(value, what(name)));
        return {const_span(a), a.shape(0), a.shape(1)};
    }
    // Integer tables: any integer dtype is accepted and widened to int64.
    pbe::MatrixView<const std::int64_t> index_table(const py::object& value, const char* name) {
        const IntegerArray table = integer_array(value, what(name));
        check_rank(table.ndim(), 2, what(name));
        held_.push_back(table);
        return {std::span<const std::int64_t>(table.data(), static_cast<std::size_t>(table.size())), table.shape(0),
                table.shape(1)};
    }

private:
    std::string what(const char* name) const { return argument_name(kernel_, name); }
    // Keeps the array alive; the returned handle shares its data.
    FloatArray hold(FloatArray a) {
        held_.push_back(a);
        return a;
    }

    const char* kernel_;
    std::vector<py::object> held_;
};

// A new result array of `size` entries; `view` becomes the span the core writes.
inline FloatArray new_result(std::size_t size, std::span<double>& view) {
    FloatArray a(static_cast<py::ssize_t>(size));
    view = {a.mutable_data(), size};
    return a;
}

void register_beta_matrix_kernel(py::module_& m);
void register_aggregation_classes_kernel(py::module_& m);
void register_derivatives_kernel(py::module_& m);

}  // namespace velmora::bind
