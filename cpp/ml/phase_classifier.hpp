// The settings of the two-input polynomial logistic classifier of a phase
// diagram and its decision grid: the fitted logit evaluated on a 400 x 400 grid
// that covers the scaled points with a margin of 0.1 scaled units on each side
// (the level P = 0 is the phase boundary, P > 0 predicts class 1). Row r,
// column q of the grid belongs to the q-th u value and the r-th v value.
#pragma once
#include <cstddef>
#include <span>
#include <string>
#include <vector>

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

// The physical coordinates of the nodes, given one row (u, v) per node in the
// order of grid_nodes, as two grids shaped like the logit (further columns are
// ignored). Throws InvalidValue when there is not one row per node.
struct NodeGrids {
    Matrix u;
    Matrix v;
};
NodeGrids node_grids(MatrixView physical, const GridAxes& axes);

// b + sum_k w_k phi_k at every node (row r = v index, column q = u index),
// walking monomials of degree 1..n_order in feature order. Throws IndexError
// when n_order needs more weights than w has.
Matrix grid_logit(const GridAxes& axes, std::span<const double> w, double b, long n_order);

}  // namespace velmora::ml
