// fit_weights as Python sees it: any cost and gradient callables are accepted.
// The descent loop is the core's; its steps are calls of the callables, or the
// core's own logistic steps when the caller has recognised the callables as the
// classifier's compiled cost and gradient.
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "ml/gradient_descent.hpp"
#include "ml_common/learning_ops.hpp"

namespace velmora::bind::ml_descent {

namespace py = pybind11;

// True when obj converts to a float array whose entries are all finite.
inline bool all_finite(py::handle obj) {
    if (obj.is_none()) return false;
    const auto values = FloatArray::ensure(obj);  // empty (and no error set) when not convertible
    return values && std::all_of(values.data(), values.data() + values.size(), [](double v) { return std::isfinite(v); });
}

// The steps through Python calls cost_function(X, y, w, b, lambda_) and
// gradient_function(X, y, w, b, lambda_) -> (dj_db, dj_dw).
class PythonSteps : public ml::DescentSteps {
public:
    PythonSteps(py::object X, py::object y, py::object lambda, py::object cost, py::object gradient)
        : X_(std::move(X)), y_(std::move(y)), lambda_(std::move(lambda)), cost_(std::move(cost)),
          gradient_(std::move(gradient)), finite_(all_finite(X_) && all_finite(y_) && all_finite(lambda_)) {}

    double gradient(std::span<const double> w, double b, std::span<double> dw) override {
        const py::object result = gradient_(X_, y_, to_numpy(w), b, lambda_);
        const bool sequence = py::isinstance<py::sequence>(result);
        if (!sequence || py::len(result) != 2)
            throw InvalidValue("gradient_function must return the pair (dj_db, dj_dw), got '" +
                               python_type_name(result) + "'" +
                               (sequence ? " of length " + std::to_string(py::len(result)) : std::string()));
        const py::sequence pair = result;
        const FloatArray dj_dw = float_array(pair[1], "dj_dw");
        const auto n = static_cast<std::size_t>(dj_dw.size());
        if (n != 1) check_length(n, dw.size(), "dj_dw");  // a single entry applies to every weight
        for (std::size_t j = 0; j < dw.size(); ++j) dw[j] = dj_dw.data()[n == 1 ? 0 : j];
        return real_number(pair[0], "dj_db");
    }

    double cost(std::span<const double> w, double b) override {
        return real_number(cost_(X_, y_, to_numpy(w), b, lambda_), "cost_function(...)");
    }

    // Features, labels and lambda_ as floats, all finite (false when any is not a float array).
    bool finite_problem() const override { return finite_; }

private:
    py::object X_, y_, lambda_, cost_, gradient_;
    bool finite_;
};

// own_steps: cost and gradient are known to be the classifier's compiled
// regularised cost and its gradient, so the core evaluates them directly.
inline py::tuple fit_weights(py::object X, py::object y, py::object w_in, py::object b_in, py::object cost,
                             py::object gradient, py::object alpha, py::object num_iters_obj, py::object lambda,
                             bool own_steps = false) {
    const long num_iters = static_cast<long>(integer_number(num_iters_obj, "num_iters"));
    if (num_iters <= 0) return py::make_tuple(w_in, b_in, py::list(), py::list());
    const double step = real_number(alpha, "alpha");
    ml::DescentResult r;
    if (own_steps) {
        const ml_ops::Problem p = ml_ops::problem(X, y, w_in, b_in);
        ml::LogisticSteps steps(p.X, p.y, real_number(lambda, "lambda_"));
        r = ml::fit_weights(steps, p.w, p.b, step, num_iters);
    } else {
        const FloatArray w0 = float_array(w_in, "w_in");
        PythonSteps steps(X, y, lambda, cost, gradient);
        r = ml::fit_weights(steps, ml_ops::vector_view(w0, "w_in"), real_number(b_in, "b_in"), step, num_iters);
    }
    py::list w_history;
    for (const auto& w : r.w_history) w_history.append(to_numpy(w));
    return py::make_tuple(to_numpy(r.w), r.b, py::cast(r.cost_history), w_history);
}

}  // namespace velmora::bind::ml_descent
