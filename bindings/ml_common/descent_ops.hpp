// fit_weights as Python sees it: any cost and gradient callables are accepted;
// when both are the compiled ones the whole descent runs in the core.
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <optional>

#include "common/output.hpp"
#include "ml/gradient_descent.hpp"
#include "ml/logistic_cost.hpp"
#include "ml_common/arrays.hpp"
#include "ml_common/learning_ops.hpp"
#include "ml_common/native_callables.hpp"

namespace velmora::bind::ml_descent {

namespace py = pybind11;
using namespace ml_arrays;

// `a, b = value` for a gradient result.
inline std::pair<py::object, py::object> unpack_pair(py::handle value) {
    py::tuple t = py::tuple(py::reinterpret_borrow<py::object>(value));
    if (t.size() < 2) throw ValueError("not enough values to unpack (expected 2, got " + std::to_string(t.size()) + ")");
    if (t.size() > 2) throw ValueError("too many values to unpack (expected 2)");
    return {t[0], t[1]};
}

// The descent through Python calls of cost_function and gradient_function.
inline py::tuple fit_weights_python(py::object X, py::object y, py::object w, py::object b, py::object cost,
                                    py::object grad, py::object alpha, long num_iters, py::object lambda) {
    py::list J_history, w_history;
    for (long i = 0; i < num_iters; ++i) {
        auto [dj_db, dj_dw] = unpack_pair(grad(X, y, w, b, lambda));
        w = w - alpha * dj_dw;
        b = b - alpha * dj_db;
        if (i < ml::kCostHistoryLimit) J_history.append(cost(X, y, w, b, lambda));
        if (ml::is_report_step(i, num_iters)) {
            w_history.append(w);
            const double last = real_number(J_history[py::len(J_history) - 1], "J_history[-1]");
            print_line(ml::progress_line(i, last));
        }
    }
    return py::make_tuple(w, b, J_history, w_history);
}

// A plain real number (Python int or float, numpy scalar); nothing otherwise.
inline std::optional<double> try_double(py::handle obj) {
    const bool real = PyFloat_Check(obj.ptr()) || PyLong_Check(obj.ptr()) ||
                      py::isinstance(obj, py::module_::import("numpy").attr("number"));
    if (!real) return std::nullopt;
    py::object f = py::reinterpret_steal<py::object>(PyNumber_Float(obj.ptr()));
    if (!f) {
        PyErr_Clear();
        return std::nullopt;
    }
    return PyFloat_AsDouble(f.ptr());
}

// The descent in the core; nothing when an argument does not convert to the
// plain arrays and numbers the core works on (the Python loop then reports it).
inline std::optional<py::tuple> fit_weights_native(py::handle X, py::handle y, py::handle w, py::handle b,
                                                   py::handle alpha, long num_iters, py::handle lambda,
                                                   ml::RecordedCost kind) {
    auto Xa = try_doubles(X), ya = try_doubles(y), wa = try_doubles(w);
    auto bd = try_double(b), ad = try_double(alpha), ld = try_double(lambda);
    if (!Xa || !ya || !wa || !bd || !ad || !ld) return std::nullopt;
    if (Xa->ndim() != 2 || ya->ndim() != 1 || wa->ndim() != 1) return std::nullopt;
    const ml::MatrixView Xv = matrix_view(*Xa);
    const auto yv = vector_view(*ya, "y"), wv = vector_view(*wa, "w");
    ml::check_problem(Xv, yv.size(), wv.size());
    const ml::DescentResult r = ml::fit_weights(Xv, yv, wv, *bd, *ad, num_iters, *ld, kind);
    py::list J_history, w_history;
    for (double c : r.cost_history) J_history.append(py::float_(c));
    for (const auto& wh : r.w_history) w_history.append(to_numpy(std::span<const double>(wh)));
    return py::make_tuple(to_numpy(std::span<const double>(r.w)), py::float_(r.b), J_history, w_history);
}

inline py::tuple fit_weights(py::object X, py::object y, py::object w_in, py::object b_in, py::object cost,
                             py::object grad, py::object alpha, py::object num_iters_obj, py::object lambda) {
    const long num_iters = static_cast<long>(integer_number(num_iters_obj, "num_iters"));
    if (num_iters <= 0) return py::make_tuple(w_in, b_in, py::list(), py::list());
    ml::check_descent_steps(num_iters, "num_iters");
    const ml_native::CostKind kind = ml_native::native_cost(cost);
    if (kind != ml_native::CostKind::Foreign && ml_native::native_gradient(grad)) {
        const auto recorded = kind == ml_native::CostKind::Regularised ? ml::RecordedCost::Regularised
                                                                        : ml::RecordedCost::Plain;
        if (auto result = fit_weights_native(X, y, w_in, b_in, alpha, num_iters, lambda, recorded)) return *result;
    }
    return fit_weights_python(X, y, w_in, b_in, cost, grad, alpha, num_iters, lambda);
}

}  // namespace velmora::bind::ml_descent
