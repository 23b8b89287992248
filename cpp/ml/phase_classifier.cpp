#include "ml/phase_classifier.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "common/errors.hpp"
#include "ml/feature_map.hpp"
#include "ml/logistic_cost.hpp"

namespace velmora::ml {

namespace {

// Evenly spaced values with both ends included, computed as start + i * step
// with the last value set to stop.
std::vector<double> linspace(double start, double stop, std::size_t num) {
    std::vector<double> out(num);
    const double step = (stop - start) / static_cast<double>(num - 1);
    for (std::size_t i = 0; i < num; ++i) out[i] = static_cast<double>(i) * step + start;
    out[num - 1] = stop;
    return out;
}

void column_range(MatrixView X, std::size_t j, double& lo, double& hi) {
    lo = hi = X(0, j);
    for (std::size_t i = 1; i < X.rows; ++i) {
        const double x = X(i, j);
        if (std::isnan(x) || std::isnan(lo)) {
            lo = hi = std::numeric_limits<double>::quiet_NaN();
            return;
        }
        lo = std::min(lo, x);
        hi = std::max(hi, x);
    }
}

}  // namespace

GridAxes grid_axes(MatrixView features) {
    if (features.cols < 2)
        throw OutOfRange("index 1 is out of bounds for axis 1 with size " + std::to_string(features.cols));
    if (features.rows == 0) throw InvalidValue("zero-size array to reduction operation minimum which has no identity");
    double u_lo, u_hi, v_lo, v_hi;
    column_range(features, 0, u_lo, u_hi);
    column_range(features, 1, v_lo, v_hi);
    return {linspace(u_lo - kGridMargin, u_hi + kGridMargin, kGridNodes),
            linspace(v_lo - kGridMargin, v_hi + kGridMargin, kGridNodes)};
}

Matrix grid_nodes(const GridAxes& axes) {
    const std::size_t nu = axes.u.size(), nv = axes.v.size();
    Matrix nodes(nu * nv, 2);
    for (std::size_t r = 0; r < nv; ++r)
        for (std::size_t q = 0; q < nu; ++q) {
            nodes(r * nu + q, 0) = axes.u[q];
            nodes(r * nu + q, 1) = axes.v[r];
        }
    return nodes;
}

NodeGrids node_grids(MatrixView physical, const GridAxes& axes) {
    const std::size_t nu = axes.u.size(), nv = axes.v.size();
    if (physical.rows != nu * nv || physical.cols < 2)
        throw InvalidValue("the unscaled grid nodes must be " + std::to_string(nu * nv) + " rows (u, v), got " +
                           std::to_string(physical.rows) + " x " + std::to_string(physical.cols));
    NodeGrids grids{Matrix(nv, nu), Matrix(nv, nu)};
    for (std::size_t k = 0; k < nu * nv; ++k) {
        grids.u.data[k] = physical(k, 0);
        grids.v.data[k] = physical(k, 1);
    }
    return grids;
}

Matrix grid_logit(const GridAxes& axes, std::span<const double> w, double b, long n_order) {
    const std::size_t needed = feature_count(n_order);
    if (needed > w.size())
        throw OutOfRange("index " + std::to_string(w.size()) + " is out of bounds for axis 0 with size " +
                         std::to_string(w.size()));
    const std::size_t nu = axes.u.size(), nv = axes.v.size();
    const std::size_t deg = n_order > 0 ? static_cast<std::size_t>(n_order) : 0;
    Matrix P(nv, nu);
    // Along a grid row v is fixed, so the logit is a polynomial in u alone:
    // P = b + sum_j c_j u^j with c_j = sum_{i >= j} w[k(i, j)] v^(i-j), where the
    // weight of u^j v^(i-j) sits at k(i, j) = first(i) + (i - j) because degree
    // i runs u^i, u^(i-1) v, ..., v^i (first(i) = (i - 1)(i + 2) / 2).
    std::vector<double> pv(deg + 1), c(deg + 1);
    for (std::size_t r = 0; r < nv; ++r) {
        pv[0] = 1.0;
        for (std::size_t p = 1; p <= deg; ++p) pv[p] = pv[p - 1] * axes.v[r];
        for (std::size_t j = 0; j <= deg; ++j) {
            double cj = 0.0;
            for (std::size_t i = std::max<std::size_t>(j, 1); i <= deg; ++i)
                cj += w[(i - 1) * (i + 2) / 2 + (i - j)] * pv[i - j];
            c[j] = cj;
        }
        for (std::size_t q = 0; q < nu; ++q) {
            const double u = axes.u[q];
            double acc = c[deg];
            for (std::size_t j = deg; j-- > 0;) acc = acc * u + c[j];
            P(r, q) = acc + b;
        }
    }
    return P;
}

}  // namespace velmora::ml
