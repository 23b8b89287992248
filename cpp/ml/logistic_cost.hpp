// Mean cross-entropy of a logistic model over a sample set, its L2-regularised
// form, and the gradient of the latter.
//
// All three evaluate the same per-sample quantities as the textbook loops
// (z_i = X_i . w + b, one logistic value per sample), in compiled, allocation-free
// passes over the rows. Inputs are assumed consistent; check_problem() is the
// entry check the bindings run once.
#pragma once
#include <cstddef>
#include <functional>
#include <span>
#include <vector>

#include "ml/matrix.hpp"

namespace velmora::ml {

// Throws InvalidValue when w does not match the feature count and OutOfRange when
// y has fewer labels than X has samples (surplus labels are ignored).
void check_problem(MatrixView X, std::size_t n_labels, std::size_t n_weights);

// z_i = X_i . w + b for every sample.
void linear_scores(MatrixView X, std::span<const double> w, double b, std::span<double> z);

// The logits z_i = X_i . w + b, after checking that w matches the features.
std::vector<double> decision_values(MatrixView X, std::span<const double> w, double b);

// s_i = logistic(z_i).
void logistic_values(std::span<const double> z, std::span<double> s);

// Sum over samples of y log s + (1 - y) log(1 - s) for logistic values s (no 1/m).
double log_likelihood_sum(std::span<const double> s, std::span<const double> y);

// sum_j w_j^2
double squared_norm(std::span<const double> w);

// A logistic function supplied by the caller (a replacement of the
// classifier's own). Where one is given, the cost and the gradient call it per
// sample and twice per sample, as the per-sample formulas do; where it is empty
// they use the compiled logistic function in allocation-free passes.
using LogisticFunction = std::function<double(double)>;

// -(1/m) sum of the log-likelihood terms. Throws DivisionByZero for m = 0.
double logistic_loss(MatrixView X, std::span<const double> y, std::span<const double> w, double b,
                     const LogisticFunction& sigma = {});

// logistic_loss + lambda * sum(w^2) / (2 m); the bias is not regularised.
double logistic_loss_reg(MatrixView X, std::span<const double> y, std::span<const double> w, double b,
                         double lambda);

// Gradient of logistic_loss_reg with the bias part first:
// db = mean(e), dw = mean(e_i X_i) + lambda w / m, e_i = s(z_i) - y_i.
struct Gradient {
    double db = 0.0;
    std::vector<double> dw;
};

// Gradient from precomputed logistic values s; dw must have X.cols entries.
// Throws DivisionByZero for m = 0.
void gradient_from_probabilities(MatrixView X, std::span<const double> y, std::span<const double> w,
                                 std::span<const double> s, double lambda, double& db, std::span<double> dw);

Gradient compute_gradient(MatrixView X, std::span<const double> y, std::span<const double> w, double b,
                          double lambda, const LogisticFunction& sigma = {});

}  // namespace velmora::ml
