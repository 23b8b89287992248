#include "ml/gradient_descent.hpp"

#include <cmath>
#include <cstdio>
#include <string>

#include "common/errors.hpp"
#include "common/interrupt.hpp"
#include "common/output.hpp"
#include "gas/step_limits.hpp"
#include "ml/logistic_cost.hpp"

namespace velmora::ml {

namespace {

long report_interval(long num_iters) {
    // ceil(num_iters / 10) of a true division, positive whenever steps are run.
    return static_cast<long>(std::ceil(static_cast<double>(num_iters) / 10.0));
}

}  // namespace

void check_descent_steps(long num_iters, const char* name) {
    if (num_iters > kMaxDescentSteps)
        throw InvalidValue(std::string(name) + " must be at most " + std::to_string(kMaxDescentSteps) +
                           " descent steps, got " + std::to_string(num_iters));
}

bool is_report_step(long i, long num_iters) {
    const long every = report_interval(num_iters);
    return (every != 0 && i % every == 0) || i == num_iters - 1;
}

std::string progress_line(long i, double cost) {
    char buf[512];
    if (std::isnan(cost)) {
        std::snprintf(buf, sizeof buf, "Iteration %4ld: Cost %8s   ", i, "nan");  // no "-nan"
    } else {
        std::snprintf(buf, sizeof buf, "Iteration %4ld: Cost %8.2f   ", i, cost);
    }
    return buf;
}

DescentResult fit_weights(MatrixView X, std::span<const double> y, std::span<const double> w0, double b0,
                          double alpha, long num_iters, double lambda, RecordedCost cost_kind) {
    DescentResult r;
    r.w.assign(w0.begin(), w0.end());
    r.b = b0;
    if (num_iters <= 0) return r;
    check_descent_steps(num_iters, "num_iters");
    if (X.rows == 0) throw ZeroDivisionError("float division by zero");

    const std::size_t m = X.rows, n = X.cols;
    const auto labels = y.first(m);
    std::vector<double> s(m), dw(n);  // logistic values of the current (w, b)
    double db = 0.0;
    bool values_current = false;
    const double md = static_cast<double>(m);
    if (num_iters < kCostHistoryLimit) r.cost_history.reserve(static_cast<std::size_t>(num_iters));

    for (long i = 0; i < num_iters; ++i) {
        if (i % 1024 == 1023) poll_interrupt();  // a huge num_iters stays stoppable
        if (!values_current) {
            linear_scores(X, r.w, r.b, s);
            logistic_values(s, s);
        }
        gradient_from_probabilities(X, labels, r.w, s, lambda, db, dw);
        for (std::size_t j = 0; j < n; ++j) r.w[j] -= alpha * dw[j];
        r.b -= alpha * db;
        values_current = false;

        if (i < kCostHistoryLimit) {
            // The values of the updated parameters serve this cost and the next gradient.
            linear_scores(X, r.w, r.b, s);
            logistic_values(s, s);
            values_current = true;
            double c = -log_likelihood_sum(s, labels) / md;
            if (cost_kind == RecordedCost::Regularised) c += (squared_norm(r.w) * lambda) / (2.0 * md);
            r.cost_history.push_back(c);
        }
        if (is_report_step(i, num_iters)) {
            r.w_history.push_back(r.w);
            print_line(progress_line(i, r.cost_history.back()));
        }
    }
    // A step too large for the curvature (alpha times the regularisation
    // lambda above about twice the sample count, or a negative lambda) makes
    // every step overshoot further until the weights overflow. Such weights
    // classify nothing: say so instead of returning them.
    auto all_finite = [](std::span<const double> values) {
        for (double v : values)
            if (!std::isfinite(v)) return false;
        return true;
    };
    const bool diverged = !(std::isfinite(r.b) && all_finite(r.w));
    const bool finite_inputs = std::isfinite(b0) && std::isfinite(alpha) && std::isfinite(lambda) &&
                               all_finite(w0) && all_finite(labels) &&
                               all_finite(std::span<const double>(X.data, X.rows * X.cols));
    if (diverged && finite_inputs)
        throw InvalidValue("gradient descent diverged: the weights are not finite after " + std::to_string(num_iters) +
                           " steps of alpha = " + gas::number_text(alpha) + " with lambda_ = " + gas::number_text(lambda) +
                           "; a smaller alpha (or a lambda_ of 0 or more and alpha * lambda_ below twice the "
                           "sample count) keeps the descent stable");
    return r;
}

}  // namespace velmora::ml
