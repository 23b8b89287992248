#include "ml/gradient_descent.hpp"

#include <cmath>
#include <cstdio>

#include "common/errors.hpp"
#include "common/interrupt.hpp"
#include "common/output.hpp"
#include "ml/logistic_cost.hpp"

namespace velmora::ml {

namespace {

long report_interval(long num_iters) {
    // ceil(num_iters / 10) of a true division, positive whenever steps are run.
    return static_cast<long>(std::ceil(static_cast<double>(num_iters) / 10.0));
}

}  // namespace

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

LogisticSteps::LogisticSteps(MatrixView X, std::span<const double> y, double lambda, RecordedCost recorded)
    : X_(X), y_(y.first(X.rows)), lambda_(lambda), recorded_(recorded), s_(X.rows) {}

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
    double c = -log_likelihood_sum(s_, y_) / md;
    if (recorded_ == RecordedCost::Regularised) c += (squared_norm(w) * lambda_) / (2.0 * md);
    return c;
}

DescentResult fit_weights(DescentSteps& steps, std::span<const double> w0, double b0, double alpha, long num_iters) {
    DescentResult r;
    r.w.assign(w0.begin(), w0.end());
    r.b = b0;
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
    return r;
}

}  // namespace velmora::ml
