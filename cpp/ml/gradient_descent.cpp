#include "ml/gradient_descent.hpp"

#include <cmath>
#include <cstdio>
#include <memory>
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

bool all_finite(std::span<const double> values) {
    for (double v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

DescentSteps logistic_steps(MatrixView X, std::span<const double> y, double lambda) {
    struct LastCost {
        std::vector<double> s;  // logistic values at the (w, b) of the last cost
        bool current = false;
    };
    auto last = std::make_shared<LastCost>(LastCost{std::vector<double>(X.rows)});
    y = y.first(X.rows);
    DescentSteps steps;
    steps.gradient = [=](std::span<const double> w, double b, std::vector<double>& dw) {
        if (!last->current) {
            linear_scores(X, w, b, last->s);
            logistic_values(last->s, last->s);
        }
        last->current = false;
        double db = 0.0;
        dw.resize(w.size());
        gradient_from_probabilities(X, y, w, last->s, lambda, db, dw);
        return db;
    };
    steps.cost = [=](std::span<const double> w, double b) {
        linear_scores(X, w, b, last->s);
        logistic_values(last->s, last->s);
        last->current = true;
        const double md = static_cast<double>(X.rows);
        return -log_likelihood_sum(last->s, y) / md + (squared_norm(w) * lambda) / (2.0 * md);
    };
    steps.finite_problem = std::isfinite(lambda) && all_finite({X.data, X.rows * X.cols}) && all_finite(y);
    return steps;
}

DescentResult fit_weights(const DescentSteps& steps, std::span<const double> w0, double b0, double alpha,
                          long num_iters) {
    DescentResult r;
    r.w.assign(w0.begin(), w0.end());
    r.b = b0;
    if (num_iters > 0) check_descent_steps(num_iters, "num_iters");
    std::vector<double> dw;
    if (num_iters > 0 && num_iters < kCostHistoryLimit) r.cost_history.reserve(static_cast<std::size_t>(num_iters));

    for (long i = 0; i < num_iters; ++i) {
        if (i % 1024 == 1023) poll_interrupt();  // a huge num_iters stays stoppable
        const double db = steps.gradient(r.w, r.b, dw);
        if (dw.size() == 1) dw.assign(r.w.size(), double{dw[0]});  // one entry for every weight
        if (dw.size() != r.w.size())
            throw InvalidValue("dj_dw must hold " + std::to_string(r.w.size()) + " entries, not " +
                               std::to_string(dw.size()));
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
    const bool diverged = !(std::isfinite(r.b) && all_finite(r.w));
    if (diverged && std::isfinite(b0) && std::isfinite(alpha) && all_finite(w0) && steps.finite_problem)
        throw InvalidValue("gradient descent diverged: the weights are not finite after " + std::to_string(num_iters) +
                           " steps of alpha = " + gas::number_text(alpha) +
                           "; a smaller alpha (or a lambda_ of 0 or more with alpha * lambda_ below twice the "
                           "sample count) keeps the descent stable");
    return r;
}

}  // namespace velmora::ml
