#include "ml/feature_map.hpp"

#include <string>
#include <vector>

#include "common/errors.hpp"

namespace velmora::ml {

std::size_t feature_count(long degree) {
    if (degree < 1) return 0;
    const auto d = static_cast<std::size_t>(degree);
    return d * (d + 3) / 2;
}

void monomials(double u, double v, long degree, double* pu, double* pv, double* out) {
    pu[0] = 1.0;
    pv[0] = 1.0;
    for (long p = 1; p <= degree; ++p) {
        pu[p] = pu[p - 1] * u;
        pv[p] = pv[p - 1] * v;
    }
    std::size_t c = 0;
    for (long k = 1; k <= degree; ++k)
        for (long j = 0; j <= k; ++j) out[c++] = pv[j] * pu[k - j];
}

Matrix map_features(std::span<const double> u, std::span<const double> v, long degree) {
    if (degree < 1) throw InvalidValue("need at least one array to concatenate");
    const std::size_t nu = u.size(), nv = v.size();
    if (nu != nv && nu != 1 && nv != 1)
        throw InvalidValue("operands could not be broadcast together with shapes (" + std::to_string(nv) +
                         ",) (" + std::to_string(nu) + ",) ");
    const std::size_t m = (nu == 1) ? nv : nu;
    Matrix out(m, feature_count(degree));
    std::vector<double> pu(static_cast<std::size_t>(degree) + 1), pv(pu.size());
    for (std::size_t i = 0; i < m; ++i) {
        const double ui = u[nu == 1 ? 0 : i];
        const double vi = v[nv == 1 ? 0 : i];
        monomials(ui, vi, degree, pu.data(), pv.data(), out.row(i));
    }
    return out;
}

}  // namespace velmora::ml
