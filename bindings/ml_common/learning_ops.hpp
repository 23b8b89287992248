// The learning building blocks as they meet Python: argument conversion and
// checks, then one call into the core. Shared by the classifier's methods, the
// free-function views and the standalone modules. Arrays are converted with
// common/conversions.hpp, so a bad array gets the same message here as in
// every other module.
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <span>
#include <string>
#include <utility>

#include "common/conversions.hpp"
#include "common/errors.hpp"
#include "ml/feature_map.hpp"
#include "ml/input_scaling.hpp"
#include "ml/logistic.hpp"
#include "ml/logistic_cost.hpp"
#include "ml/matrix.hpp"

namespace velmora::bind::ml_ops {

namespace py = pybind11;

// The (m, n) view of a 2-D array.
inline ml::MatrixView matrix_view(const FloatArray& a, const char* what) {
    check_rank(a.ndim(), 2, what);
    return {a.data(), static_cast<std::size_t>(a.shape(0)), static_cast<std::size_t>(a.shape(1))};
}

// The entries of a 1-D array (a scalar counts as one entry).
inline std::span<const double> vector_view(const FloatArray& a, const char* what) {
    if (a.ndim() > 1) throw InvalidValue(std::string(what) + " must be a 1-D array");
    return {a.data(), static_cast<std::size_t>(a.size())};
}

using bind::to_numpy;  // of vectors; this adds matrices
inline py::array_t<double> to_numpy(const ml::Matrix& M) {
    return py::array_t<double>({static_cast<py::ssize_t>(M.rows), static_cast<py::ssize_t>(M.cols)}, M.data.data());
}

// A scaling method given by a Python object; only exact strings are methods.
inline ml::ScalingMethod scaling_method(py::handle name, bool allow_no_normalization) {
    if (!py::isinstance<py::str>(name)) throw InvalidValue(ml::kScalingMethodError);
    return ml::parse_scaling_method(name.cast<std::string>(), allow_no_normalization);
}

// 1 / (1 + exp(-z)) element-wise; a scalar gives a float.
inline py::object sigmoid(py::handle z) {
    const FloatArray a = float_array(z, "z");
    if (a.ndim() == 0) return py::float_(ml::sigmoid1(*a.data()));
    py::array_t<double> out(std::vector<py::ssize_t>(a.shape(), a.shape() + a.ndim()));
    std::transform(a.data(), a.data() + a.size(), out.mutable_data(), ml::sigmoid1);
    return py::object(std::move(out));
}

// (X_normalized, mean_vals, scale_vals). "no_normalization" hands back X itself.
inline py::tuple scale_inputs(py::object X, ml::ScalingMethod method) {
    if (method == ml::ScalingMethod::NoNormalization) return py::make_tuple(X, 0, 1);
    const FloatArray a = float_array(X, "X");
    if (a.ndim() != 1 && a.ndim() != 2) throw InvalidValue("X must be a 1-D or 2-D array");
    const bool column = a.ndim() == 1;  // a 1-D X is one column with scalar statistics
    const ml::MatrixView v{a.data(), static_cast<std::size_t>(a.shape(0)),
                           column ? std::size_t{1} : static_cast<std::size_t>(a.shape(1))};
    const ml::ColumnScaling s = ml::fit_scaling(v, method);
    const ml::Matrix scaled = ml::apply_scaling(v, s);
    if (column) return py::make_tuple(to_numpy(scaled.data), s.offset[0], s.divisor[0]);
    return py::make_tuple(to_numpy(scaled), to_numpy(s.offset), to_numpy(s.divisor));
}

// X_normalized * scale_vals + mean_vals with per-column or scalar statistics.
inline py::object descale_inputs(py::handle X, py::handle mean_vals, py::handle scale_vals, ml::ScalingMethod method) {
    if (method == ml::ScalingMethod::NoNormalization) throw InvalidValue(ml::kScalingMethodError);
    const FloatArray a = float_array(X, "X_normalized"), off = float_array(mean_vals, "mean_vals"),
                     div = float_array(scale_vals, "scale_vals");
    if (a.ndim() > 2) throw InvalidValue("X_normalized must be a 0-D, 1-D or 2-D array");
    const std::size_t rows = a.ndim() == 2 ? static_cast<std::size_t>(a.shape(0)) : 1;
    const std::size_t cols = a.ndim() == 0 ? 1 : static_cast<std::size_t>(a.shape(a.ndim() - 1));
    const ml::Matrix out = ml::descale(ml::MatrixView{a.data(), rows, cols}, vector_view(off, "mean_vals"),
                                       vector_view(div, "scale_vals"), method);
    if (a.ndim() == 0) return py::float_(out.data[0]);
    if (a.ndim() == 1) return to_numpy(out.data);
    return to_numpy(out);
}

// Monomial features; X2 is the first input u, X1 the second input v.
inline py::array_t<double> map_feature1(py::handle X2, py::handle X1, long degree) {
    const FloatArray v = float_array(X1, "X1"), u = float_array(X2, "X2");
    if (v.ndim() > 1 || u.ndim() > 1) throw InvalidValue("X1 and X2 must be 1-D arrays");
    return to_numpy(ml::map_features({u.data(), static_cast<std::size_t>(u.size())},
                                     {v.data(), static_cast<std::size_t>(v.size())}, degree));
}

// Arrays of one cost or gradient evaluation, converted and checked once.
struct Problem {
    FloatArray X_arr, y_arr, w_arr;
    ml::MatrixView X;
    std::span<const double> y, w;
    double b;
};

inline Problem problem(py::handle X, py::handle y, py::handle w, py::handle b) {
    Problem p{float_array(X, "X"), float_array(y, "y"), float_array(w, "w"), {}, {}, {}, 0.0};
    p.X = matrix_view(p.X_arr, "X");
    p.y = vector_view(p.y_arr, "y");
    p.w = vector_view(p.w_arr, "w");
    p.b = real_number(b, "b");
    ml::check_problem(p.X, p.y.size(), p.w.size());
    return p;
}

}  // namespace velmora::bind::ml_ops
