// Batch gradient descent over a cost and its gradient (the classifier's
// logistic ones, or functions the caller supplies through DescentSteps), with
// the progress report and the history rules of the classifier:
//  - step i: (db, dw) = gradient at (w, b); w -= alpha dw; b -= alpha db;
//  - while i < kCostHistoryLimit the cost after the step is recorded;
//  - at i % ceil(num_iters / 10) == 0 and at the last step, w is kept in the
//    weight history and the line "Iteration %4d: Cost %8.2f   " is printed.
#pragma once
#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "ml/matrix.hpp"

namespace velmora::ml {

inline constexpr long kCostHistoryLimit = 100000;

// Most descent steps one fit may take. A fixed-step descent that has not
// settled in 1e8 steps will not settle later (the default is 1e4, and the
// cost is recorded for the first 1e5 only), and 1e8 steps of a study-sized
// problem (a few hundred samples, 28 features) already run for hours.
inline constexpr long kMaxDescentSteps = 100000000;

// Throws InvalidValue naming `name` when num_iters exceeds kMaxDescentSteps.
void check_descent_steps(long num_iters, const char* name);

struct DescentResult {
    std::vector<double> w;
    double b = 0.0;
    std::vector<double> cost_history;
    std::vector<std::vector<double>> w_history;
};

// The two evaluations a descent step needs, at (w, b). The classifier's own
// are logistic_steps(); the bindings supply steps that call host functions when
// the caller hands the descent cost and gradient functions of its own.
struct DescentSteps {
    // Returns db and leaves dw with one entry per weight (a single entry stands
    // for every weight).
    std::function<double(std::span<const double> w, double b, std::vector<double>& dw)> gradient;
    std::function<double(std::span<const double> w, double b)> cost;
    // True when every number of the problem (features, labels, regularisation)
    // is finite, so that non-finite weights can only come from the steps
    // overshooting. Steps that cannot tell leave it false.
    bool finite_problem = false;
};

// The regularised logistic cost and its gradient on a feature matrix. X and y
// must pass check_problem() and outlive the steps. The logistic values of a
// cost evaluation serve the next gradient, which the descent asks for at the
// same (w, b).
DescentSteps logistic_steps(MatrixView X, std::span<const double> y, double lambda);

// True when every value is finite.
bool all_finite(std::span<const double> values);

// True when step i of num_iters is reported (printed and kept in w_history).
bool is_report_step(long i, long num_iters);

// The progress line for step i with the last recorded cost.
std::string progress_line(long i, double cost);

// Runs num_iters steps from (w0, b0) with the steps' evaluations.
// Prints the progress lines through velmora::print_line. Throws InvalidValue
// when a gradient has neither one entry nor one per weight.
DescentResult fit_weights(const DescentSteps& steps, std::span<const double> w0, double b0, double alpha,
                          long num_iters);

}  // namespace velmora::ml
