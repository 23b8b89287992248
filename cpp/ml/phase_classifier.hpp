// Two-input polynomial logistic classifier of a phase diagram.
//
// Training scales the raw (u, v) points per column, expands them into all
// monomials up to poly_degree, fits L2-regularised logistic weights by batch
// gradient descent, and evaluates the fitted logit on a 400 x 400 grid that
// covers the scaled points with a margin of 0.1 scaled units on each side.
// The grid is returned in physical coordinates; the level P = 0 is the phase
// boundary (P > 0 predicts class 1).
#pragma once
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "ml/gradient_descent.hpp"
#include "ml/input_scaling.hpp"
#include "ml/matrix.hpp"

namespace velmora::ml {

struct ClassifierSettings {
    std::string method = "mean";  // "zscore", "minmax", "mean" or "no_normalization"
    double lambda = 0.001;        // L2 strength
    long iterations = 10000;      // descent steps
    double alpha = 1.5;           // learning rate
    long poly_degree = 12;        // highest total degree of the trained monomials
    long n_order = 12;            // highest total degree evaluated on the grid
};

inline constexpr std::size_t kGridNodes = 400;
inline constexpr double kGridMargin = 0.1;

// Row r, column q belongs to the q-th u value and the r-th v value.
struct DecisionGrid {
    std::size_t nodes = kGridNodes;
    Matrix u_physical;  // X1_orig
    Matrix v_physical;  // X2_orig
    Matrix logit;       // P
};

// The grid values of u and v: kGridNodes points from the minimum minus the
// margin to the maximum plus the margin of the first two feature columns (the
// scaled inputs). Throws ValueError for an empty sample set and IndexError for
// fewer than two columns.
struct GridAxes {
    std::vector<double> u;
    std::vector<double> v;
};
GridAxes grid_axes(MatrixView features);

// The nodes as rows (u, v), u varying fastest: row r * N + q is (u[q], v[r]).
Matrix grid_nodes(const GridAxes& axes);

// b + sum_k w_k phi_k at every node (row r = v index, column q = u index),
// walking monomials of degree 1..n_order in feature order. Throws IndexError
// when n_order needs more weights than w has.
Matrix grid_logit(const GridAxes& axes, std::span<const double> w, double b, long n_order);

// grid_axes, then descale of the nodes, then grid_logit.
DecisionGrid evaluate_decision_grid(MatrixView features, std::span<const double> w, double b,
                                    std::span<const double> offset, std::span<const double> divisor,
                                    ScalingMethod method, long n_order);

class PhaseClassifier {
public:
    explicit PhaseClassifier(ClassifierSettings settings = {});

    const ClassifierSettings& settings() const { return settings_; }
    // Number of weights (= features) a training draws.
    std::size_t feature_count() const;

    // Scales, expands and fits. initial_uniform holds feature_count() draws from
    // [0, 1); the initial weights are those minus 0.5, the initial bias 0.
    // Labels are 0/1 and at least as many as samples. Prints the descent lines.
    void fit(MatrixView raw_points, std::span<const double> labels, std::span<const double> initial_uniform);

    // The decision grid of the last fit. Throws ValueError for "no_normalization"
    // (the scaling has no inverse), after the fitted state is in place.
    DecisionGrid decision_grid() const;

    // fit() then decision_grid().
    DecisionGrid train(MatrixView raw_points, std::span<const double> labels,
                       std::span<const double> initial_uniform);

    bool fitted() const { return fitted_; }
    const ColumnScaling& scaling() const { return scaling_; }  // mean_vals, scale_vals
    const Matrix& features() const { return features_; }       // X_train
    const std::vector<double>& labels() const { return labels_; }
    const std::vector<double>& weights() const { return fit_.w; }
    double bias() const { return fit_.b; }
    const std::vector<double>& cost_history() const { return fit_.cost_history; }

private:
    ClassifierSettings settings_;
    ScalingMethod method_;
    bool fitted_ = false;
    ColumnScaling scaling_;
    Matrix features_;
    std::vector<double> labels_;
    DescentResult fit_;
};

}  // namespace velmora::ml
