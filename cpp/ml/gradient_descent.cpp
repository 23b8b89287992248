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

LogisticSteps::LogisticSteps(MatrixView X, std::span<const double> y, double lambda)
    : X_(X), y_(y.first(X.rows)), lambda_(lambda), s_(X.rows) {}

bool LogisticSteps::finite_problem() const {
    if (!std::isfinite(lambda_)) return false;
    for (std::size_t k = 0; k < X_.rows * X_.cols; ++k)
        if (!std::isfinite(X_.data[k])) return false;
    for (double v : y_)
        if (!std::isfinite(v)) return false;
    return true;
}

double LogisticSteps::gradient(std::span<const double> w, double b, std::span<double> dw) {
    if (!values_current_) {
        linear_scores(X_, w, b, s_);
        logistic_values(s_, s_);
    }
    values_current_ = false;
    double db = 0.0;
    gradient_from_probabilities(X_, y_, w, s_, lambda_, db, dw);
    return db;
}

double LogisticSteps::cost(std::span<const double> w, double b) {
    linear_scores(X_, w, b, s_);
    logistic_values(s_, s_);
    values_current_ = true;
    const double md = static_cast<double>(X_.rows);
    return -log_likelihood_sum(s_, y_) / md + (squared_norm(w) * lambda_) / (2.0 * md);
}

DescentResult fit_weights(DescentSteps& steps, std::span<const double> w0, double b0, double alpha, long num_iters) {
    DescentResult r;
    r.w.assign(w0.begin(), w0.end());
    r.b = b0;
    if (num_iters > 0) check_descent_steps(num_iters, "num_iters");
    std::vector<double> dw(r.w.size());
    if (num_iters > 0 && num_iters < kCostHistoryLimit) r.cost_history.reserve(static_cast<std::size_t>(num_iters));

    for (long i = 0; i < num_iters; ++i) {
        if (i % 1024 == 1023) poll_interrupt();  // a huge num_iters stays stoppable
        const double db = steps.gradient(r.w, r.b, dw);
        for (std::size_t j = 0; j < r.w.size(); ++j) r.w[j] -= alpha * dw[j];
        r.b -= alpha * db;
        if (i < kCostHistoryLimit) r.cost_history.push_back(steps.cost(r.w, r.b));
        if (is_report_step(i, num_iters)) {
            r.w_history.push_back(r.w);
            print_line(progress_line(i, r.cost_history.back()));
        }
    }
    // A step too large for the curvature (alpha times the regularisation
    // lambda above about twice the sample count, or a negative lambda or
    // alpha) overshoots further at every step until the weights overflow.
    // Such weights classify nothing: say so instead of returning them.
    auto all_finite = [](std::span<const double> values) {
        for (double v : values)
            if (!std::isfinite(v)) return false;
        return true;
    };
    const bool diverged = !(std::isfinite(r.b) && all_finite(r.w));
    if (diverged && std::isfinite(b0) && std::isfinite(alpha) && all_finite(w0) && steps.finite_problem())
        throw InvalidValue("gradient descent diverged: the weights are not finite after " + std::to_string(num_iters) +
                           " steps of alpha = " + gas::number_text(alpha) +
                           "; a smaller alpha (or a lambda_ of 0 or more with alpha * lambda_ below twice the "
                           "sample count) keeps the descent stable");
    return r;
}

}  // namespace velmora::ml
