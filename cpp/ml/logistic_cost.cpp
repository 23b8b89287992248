#include "ml/logistic_cost.hpp"

#include <cmath>
#include <limits>
#include <string>

#include "common/errors.hpp"
#include "ml/logistic.hpp"

namespace velmora::ml {

void check_problem(MatrixView X, std::size_t n_labels, std::size_t n_weights) {
    if (X.rows > 0 && n_weights != X.cols)
        throw InvalidValue("shapes (" + std::to_string(X.cols) + ",) and (" + std::to_string(n_weights) +
                         ",) not aligned: " + std::to_string(X.cols) + " (dim 0) != " +
                         std::to_string(n_weights) + " (dim 0)");
    if (n_labels < X.rows)
        throw OutOfRange("index " + std::to_string(n_labels) + " is out of bounds for axis 0 with size " +
                         std::to_string(n_labels));
}

namespace {

// Dot product with four independent partial sums so the loop pipelines.
double dot(const double* a, const double* b, std::size_t n) {
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    std::size_t j = 0;
    for (; j + 4 <= n; j += 4) {
        s0 += a[j] * b[j];
        s1 += a[j + 1] * b[j + 1];
        s2 += a[j + 2] * b[j + 2];
        s3 += a[j + 3] * b[j + 3];
    }
    for (; j < n; ++j) s0 += a[j] * b[j];
    return (s0 + s1) + (s2 + s3);
}

}  // namespace

void linear_scores(MatrixView X, std::span<const double> w, double b, std::span<double> z) {
    for (std::size_t i = 0; i < X.rows; ++i) z[i] = dot(X.row(i), w.data(), X.cols) + b;
}

std::vector<double> decision_values(MatrixView X, std::span<const double> w, double b) {
    check_problem(X, X.rows, w.size());
    std::vector<double> z(X.rows);
    linear_scores(X, w, b, z);
    return z;
}

void logistic_values(std::span<const double> z, std::span<double> s) {
    for (std::size_t i = 0; i < z.size(); ++i) s[i] = sigmoid1(z[i]);
}

double log_likelihood_sum(std::span<const double> s, std::span<const double> y) {
    double total = 0.0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double p = s[i];
        // For a 0/1 label one logarithm has weight 0: it only matters when it is
        // infinite or NaN (0 * -inf is NaN), so it is not evaluated otherwise.
        if (y[i] == 1.0) {
            total += std::log(p) + ((p == 1.0 || std::isnan(p)) ? std::numeric_limits<double>::quiet_NaN() : 0.0);
        } else if (y[i] == 0.0) {
            total += ((p == 0.0 || std::isnan(p)) ? std::numeric_limits<double>::quiet_NaN() : 0.0) + std::log(1.0 - p);
        } else {
            total += y[i] * std::log(p) + (1.0 - y[i]) * std::log(1.0 - p);
        }
    }
    return total;
}

double squared_norm(std::span<const double> w) {
    double s = 0.0;
    for (double x : w) s += x * x;
    return s;
}

double logistic_loss_reg(MatrixView X, std::span<const double> y, std::span<const double> w, double b,
                         double lambda) {
    const double cost = logistic_loss(X, y, w, b);
    return cost + (squared_norm(w) * lambda) / (2.0 * static_cast<double>(X.rows));
}

void gradient_from_probabilities(MatrixView X, std::span<const double> y, std::span<const double> w,
                                 std::span<const double> s, double lambda, double& db, std::span<double> dw) {
    if (X.rows == 0) throw DivisionByZero("float division by zero");
    const std::size_t n = X.cols;
    for (std::size_t j = 0; j < n; ++j) dw[j] = 0.0;
    double sum_e = 0.0;
    for (std::size_t i = 0; i < X.rows; ++i) {
        const double e = s[i] - y[i];
        const double* xi = X.row(i);
        for (std::size_t j = 0; j < n; ++j) dw[j] += e * xi[j];
        sum_e += e;
    }
    const double m = static_cast<double>(X.rows);
    for (std::size_t j = 0; j < n; ++j) dw[j] = dw[j] / m + (lambda * w[j]) / m;
    db = sum_e / m;
}

double logistic_loss(MatrixView X, std::span<const double> y, std::span<const double> w, double b,
                     const LogisticFunction& sigma) {
    if (X.rows == 0) throw DivisionByZero("division by zero");
    std::vector<double> z(X.rows);
    linear_scores(X, w, b, z);
    if (!sigma) {
        logistic_values(z, z);
        return -log_likelihood_sum(z, y.first(X.rows)) / static_cast<double>(X.rows);
    }
    double total = 0.0;
    for (std::size_t i = 0; i < X.rows; ++i) {
        const double s_pos = sigma(z[i]);
        const double s_neg = sigma(z[i]);
        total += y[i] * std::log(s_pos) + (1.0 - y[i]) * std::log(1.0 - s_neg);
    }
    return -total / static_cast<double>(X.rows);
}

Gradient compute_gradient(MatrixView X, std::span<const double> y, std::span<const double> w, double b,
                          double lambda, const LogisticFunction& sigma) {
    if (X.rows == 0) throw DivisionByZero("float division by zero");
    const std::size_t m = X.rows, n = X.cols;
    std::vector<double> z(m);
    linear_scores(X, w, b, z);
    Gradient g;
    g.dw.assign(n, 0.0);
    if (!sigma) {
        logistic_values(z, z);
        gradient_from_probabilities(X, y, w, z, lambda, g.db, g.dw);
        return g;
    }
    for (std::size_t i = 0; i < m; ++i) {
        const double e = sigma(z[i]) - y[i];
        const double* xi = X.row(i);
        for (std::size_t j = 0; j < n; ++j) g.dw[j] += e * xi[j];
        g.db += sigma(z[i]) - y[i];  // the bias term forms its error anew
    }
    const double md = static_cast<double>(m);
    for (std::size_t j = 0; j < n; ++j) g.dw[j] = g.dw[j] / md + (lambda * w[j]) / md;
    g.db /= md;
    return g;
}

}  // namespace velmora::ml
