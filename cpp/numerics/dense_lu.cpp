#include "numerics/dense_lu.hpp"

#include <cmath>
#include <utility>

// The factorisation and the solves dominate the cost of a stiff step for a few
// hundred unknowns; on x86-64 GCC also builds an AVX2/FMA variant of them and
// picks it at load time when the processor has those instructions.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define VELMORA_VECTOR_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define VELMORA_VECTOR_CLONES
#endif

namespace velmora::numerics {

VELMORA_VECTOR_CLONES
bool lu_factor(std::span<double> a, std::size_t n, std::span<std::size_t> pivots) {
    bool regular = true;
    for (std::size_t k = 0; k < n; ++k) {
        double* __restrict colk = &a[k * n];
        std::size_t p = k;
        double big = std::abs(colk[k]);
        for (std::size_t i = k + 1; i < n; ++i) {
            const double v = std::abs(colk[i]);
            if (v > big) {
                big = v;
                p = i;
            }
        }
        pivots[k] = p;
        if (big == 0.0 || !std::isfinite(big)) {
            regular = false;  // keep going so the factors stay defined, as LINPACK does
            continue;
        }
        if (p != k)
            for (std::size_t j = 0; j < n; ++j) std::swap(a[j * n + k], a[j * n + p]);
        const double inv = 1.0 / colk[k];
        for (std::size_t i = k + 1; i < n; ++i) colk[i] *= inv;
        for (std::size_t j = k + 1; j < n; ++j) {
            double* __restrict colj = &a[j * n];
            const double t = colj[k];
            if (t == 0.0) continue;
            for (std::size_t i = k + 1; i < n; ++i) colj[i] -= t * colk[i];
        }
    }
    return regular;
}

VELMORA_VECTOR_CLONES
void lu_solve(std::span<const double> lu, std::size_t n, std::span<const std::size_t> pivots,
              std::span<double> b) {
    // Whole rows were swapped during factorisation, so the permutation is
    // applied completely before the substitutions.
    for (std::size_t k = 0; k < n; ++k) {
        const std::size_t p = pivots[k];
        if (p != k) std::swap(b[k], b[p]);
    }
    double* __restrict x = b.data();
    // Column-oriented substitutions: independent updates, no reduction chains.
    for (std::size_t k = 0; k < n; ++k) {
        const double t = x[k];
        if (t == 0.0) continue;
        const double* __restrict colk = &lu[k * n];
        for (std::size_t i = k + 1; i < n; ++i) x[i] -= t * colk[i];
    }
    for (std::size_t k = n; k-- > 0;) {
        const double* __restrict colk = &lu[k * n];
        x[k] /= colk[k];
        const double t = x[k];
        if (t == 0.0) continue;
        for (std::size_t i = 0; i < k; ++i) x[i] -= t * colk[i];
    }
}

}  // namespace velmora::numerics
