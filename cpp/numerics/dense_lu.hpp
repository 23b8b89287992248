// In-place LU factorisation with partial pivoting of a dense n x n matrix held
// column by column (element (i, j) at a[j*n + i]), and the matching solve.
// Column storage keeps the pivot search, the elimination and both
// substitutions on contiguous memory. Buffers belong to the caller so that the
// integrator can refactor without allocating.
#pragma once
#include <cstddef>
#include <span>

namespace velmora::numerics {

// Factors a into P A = L U, storing the multipliers of L below the diagonal
// and U on and above it; pivots[k] is the row swapped with row k at step k.
// Returns false when a zero (or non-finite) pivot makes the matrix singular.
bool lu_factor(std::span<double> a, std::size_t n, std::span<std::size_t> pivots);

// Solves A x = b in place (b becomes x) with the factors from lu_factor.
void lu_solve(std::span<const double> lu, std::size_t n, std::span<const std::size_t> pivots,
              std::span<double> b);

}  // namespace velmora::numerics
