// fit_weights as Python sees it: any cost and gradient callables are accepted.
// The descent loop is the core's; its steps are the core's own when both
// callables are the classifier's compiled ones, and calls of the callables
// otherwise.
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "ml/gradient_descent.hpp"
#include "ml_common/arrays.hpp"
#include "ml_common/learning_ops.hpp"
#include "ml_common/native_callables.hpp"

namespace velmora::bind::ml_descent {

namespace py = pybind11;
using namespace ml_arrays;

// The steps through Python calls cost_function(X, y, w, b, lambda_) and
// gradient_function(X, y, w, b, lambda_) -> (dj_db, dj_dw).
class PythonSteps : public ml::DescentSteps {
public:
    PythonSteps(py::object X, py::object y, py::object lambda, py::object cost, py::object gradient)
        : X_(std::move(X)), y_(std::move(y)), lambda_(std::move(lambda)), cost_(std::move(cost)),
          gradient_(std::move(gradient)) {}

    double gradient(std::span<const double> w, double b, std::span<double> dw) override {
        const py::object result = gradient_(X_, y_, to_numpy(w), b, lambda_);
        if (!py::isinstance<py::sequence>(result) || py::len(result) != 2)
            throw InvalidValue("gradient_function must return the pair (dj_db, dj_dw), got '" +
                               python_type_name(result) + "'" +
                               (py::isinstance<py::sequence>(result) ? " of length " + std::to_string(py::len(result))
                                                                     : std::string()));
        const py::sequence pair = result;
        const DoubleArray dj_dw = float_array(pair[1], "dj_dw");
        if (dj_dw.size() != 1 && static_cast<std::size_t>(dj_dw.size()) != dw.size())
            throw InvalidValue("dj_dw must hold " + std::to_string(dw.size()) + " entries, not " +
                             std::to_string(dj_dw.size()));
        for (std::size_t j = 0; j < dw.size(); ++j) dw[j] = dj_dw.data()[dj_dw.size() == 1 ? 0 : j];
        return real_number(pair[0], "dj_db");
    }

    double cost(std::span<const double> w, double b) override {
        return real_number(cost_(X_, y_, to_numpy(w), b, lambda_), "cost_function(...)");
    }

    // Features, labels and lambda_ as floats, all finite (false when any is not a float array).
    bool finite_problem() const override {
        for (const py::object* data : {&X_, &y_, &lambda_}) {
            if (data->is_none()) return false;
            const auto values = DoubleArray::ensure(*data);  // empty (and no error set) when not convertible
            if (!values) return false;
            for (py::ssize_t k = 0; k < values.size(); ++k)
                if (!std::isfinite(values.data()[k])) return false;
        }
        return true;
    }

private:
    py::object X_, y_, lambda_, cost_, gradient_;
};

inline py::tuple fit_weights(py::object X, py::object y, py::object w_in, py::object b_in, py::object cost,
                             py::object grad, py::object alpha, py::object num_iters_obj, py::object lambda) {
    const long num_iters = static_cast<long>(integer_number(num_iters_obj, "num_iters"));
    if (num_iters <= 0) return py::make_tuple(w_in, b_in, py::list(), py::list());
    const double step = real_number(alpha, "alpha");
    ml::DescentResult r;
    const ml_native::CostKind kind = ml_native::native_cost(cost);
    if (kind != ml_native::CostKind::Foreign && ml_native::native_gradient(grad)) {
        const ml_ops::Problem p = ml_ops::problem(X, y, w_in, b_in);
        ml::LogisticSteps steps(p.X, p.y, real_number(lambda, "lambda_"),
                                kind == ml_native::CostKind::Regularised ? ml::RecordedCost::Regularised
                                                                         : ml::RecordedCost::Plain);
        r = ml::fit_weights(steps, p.w, p.b, step, num_iters);
    } else {
        const DoubleArray w0 = float_array(w_in, "w_in");
        PythonSteps steps(X, y, lambda, cost, grad);
        r = ml::fit_weights(steps, vector_view(w0, "w_in"), real_number(b_in, "b_in"), step, num_iters);
    }
    py::list J_history, w_history;
    for (double c : r.cost_history) J_history.append(py::float_(c));
    for (const auto& wh : r.w_history) w_history.append(to_numpy(std::span<const double>(wh)));
    return py::make_tuple(to_numpy(std::span<const double>(r.w)), py::float_(r.b), J_history, w_history);
}

}  // namespace velmora::bind::ml_descent
