// Polynomial expansion of two scaled inputs into every monomial of total degree
// 1..degree (no constant column; the bias plays that role).
//
// Column order: for k = 1..degree, for j = 0..k the term v^j * u^(k-j), so each
// degree block runs u^k, u^(k-1) v, ..., v^k and the first two columns are u, v.
// Here u is the argument the Python API calls X2 and v the one it calls X1.
#pragma once
#include <cstddef>
#include <span>

#include "ml/matrix.hpp"

namespace velmora::ml {

// Number of monomials of total degree 1..degree: degree * (degree + 3) / 2.
std::size_t feature_count(long degree);

// Writes the feature_count(degree) monomials of one point (u, v) to out.
// pu and pv are scratch buffers of at least degree + 1 entries.
void monomials(double u, double v, long degree, double* pu, double* pv, double* out);

// Feature matrix, one row per sample. u and v must have equal length, or one of
// them length 1 (it is broadcast). Throws ValueError for degree < 1 (nothing to
// stack) and for lengths that do not broadcast.
Matrix map_features(std::span<const double> u, std::span<const double> v, long degree);

}  // namespace velmora::ml
