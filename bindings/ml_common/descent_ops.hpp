// fit_weights as Python sees it: any cost and gradient callables are accepted.
// The descent loop is the core's; its steps are calls of the callables, or the
// core's own logistic steps when the caller has recognised the callables as the
// classifier's compiled cost and gradient.
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string>

#include "ml/gradient_descent.hpp"
#include "ml_common/learning_ops.hpp"

namespace velmora::bind::ml_descent {

namespace py = pybind11;

// True when obj converts to a float array (None gives NaN) whose entries are all finite.
inline bool all_finite(py::handle obj) {
    const auto values = FloatArray::ensure(obj);  // empty (and no error set) when not convertible
    return values && ml::all_finite(const_span(values));
}

// The steps through Python calls cost_function(X, y, w, b, lambda_) and
// gradient_function(X, y, w, b, lambda_) -> (dj_db, dj_dw).
inline ml::DescentSteps python_steps(py::object X, py::object y, py::object lambda, py::object cost,
                                     py::object gradient) {
    ml::DescentSteps steps;
    steps.gradient = [=](std::span<const double> w, double b, std::vector<double>& dw) {
        const py::object result = gradient(X, y, to_numpy(w), b, lambda);
        const bool sequence = py::isinstance<py::sequence>(result);
        if (!sequence || py::len(result) != 2)
            throw InvalidValue("gradient_function must return the pair (dj_db, dj_dw), got '" +
                               python_type_name(result) + "'" +
                               (sequence ? " of length " + std::to_string(py::len(result)) : std::string()));
        const py::sequence pair = result;
        dw = flat_real_vector(pair[1], "dj_dw");
        return real_number(pair[0], "dj_db");
    };
    steps.cost = [=](std::span<const double> w, double b) {
        return real_number(cost(X, y, to_numpy(w), b, lambda), "cost_function(...)");
    };
    steps.finite_problem = all_finite(X) && all_finite(y) && all_finite(lambda);
    return steps;
}

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
        r = ml::fit_weights(ml::logistic_steps(p.X, p.y, real_number(lambda, "lambda_")), p.w, p.b, step, num_iters);
    } else {
        const FloatArray w0 = float_array(w_in, "w_in");
        r = ml::fit_weights(python_steps(X, y, lambda, cost, gradient), ml_ops::vector_view(w0, "w_in"),
                            real_number(b_in, "b_in"), step, num_iters);
    }
    py::list w_history;
    for (const auto& w : r.w_history) w_history.append(to_numpy(w));
    return py::make_tuple(to_numpy(r.w), r.b, py::cast(r.cost_history), w_history);
}

}  // namespace velmora::bind::ml_descent
