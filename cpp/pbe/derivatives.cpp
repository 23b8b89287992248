#include "pbe/derivatives.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "common/errors.hpp"
#include "pbe/checked_index.hpp"
#include "pbe/section_occupancy.hpp"

namespace velmora::pbe {
namespace {

constexpr double kSinteringPrefactor = 1.12e20;         // s / m^4
constexpr double kSinteringActivation = 22324.99398604763;  // K
constexpr double kShortestSinteringTime = 3.12e-12;     // s
constexpr double kSmallParticleSinteringTime = 3.12e-10;  // s
constexpr double kSmallParticleSize = 1.092e-9;         // m, in xnpr^0.45 * xdp
// A section without particles has nothing to sinter. (Any rate here would move
// area that no particle carries.) A section with particles relaxes its area
// towards that of compact spheres of its node volume whatever the sign of the
// area: an unresolved area at or below zero is pulled back up, never further
// down (see section_occupancy.hpp for when an area counts as unresolved).
constexpr double kEmptySintering = 0.0;

void require_at_least(std::int64_t available, std::int64_t needed, int axis = 0) {
    if (available < needed) throw_out_of_bounds(std::max<std::int64_t>(available, 0), available, axis);
}

// Every index the loops use without a test is proven here.
void check_inputs(const DerivativeInputs& in, const DerivativeOutputs& out) {
    if (in.intnum < 0) throw InvalidValue("negative dimensions are not allowed");
    if (out.yp.size() != in.y.size() || out.ts.size() != static_cast<std::size_t>(in.intnum))
        throw InvalidValue("derivative outputs have the wrong size");
    if (!in.betafu.consistent() || !in.jmin.consistent() || !in.jmax.consistent())
        throw InvalidValue("matrix inputs: extents exceed their storage");

    // Block offsets are taken as given (no counting from the end).
    const auto ny = static_cast<std::int64_t>(in.y.size());
    if (in.int4num < 0 || in.int4num >= ny) throw_out_of_bounds(in.int4num, ny);
    const std::int64_t isec = in.isec;
    if (isec <= 0) return;

    require_at_least(in.intnum, isec);  // ts[i] for every live section
    require_at_least(static_cast<std::int64_t>(in.x.size()), isec);
    require_at_least(static_cast<std::int64_t>(in.xdp.size()), isec);
    require_at_least(static_cast<std::int64_t>(in.xnpr.size()), isec);
    for (const std::int64_t offset : {std::int64_t{0}, in.intnum, in.int2num, in.int3num}) {
        if (offset < 0) throw_out_of_bounds(offset, ny);
        if (offset + isec > ny) throw_out_of_bounds(offset + isec - 1, ny);
    }
    require_at_least(in.betafu.rows, isec, 0);
    require_at_least(in.betafu.cols, isec, 1);
    for (const auto* t : {&in.jmin, &in.jmax}) {
        require_at_least(t->rows, isec, 0);
        require_at_least(t->cols, isec, 1);
    }
}

}  // namespace

void compute_derivatives(const DerivativeInputs& in, DerivativeOutputs& out,
                         DerivativeWorkspace& work) {
    check_inputs(in, out);
    std::fill(out.yp.begin(), out.yp.end(), 0.0);
    std::fill(out.ts.begin(), out.ts.end(), 0.0);

    const double conc = in.y[static_cast<std::size_t>(in.int4num)];

    // Split of the precursor consumption between the gas phase (nucleation)
    // and the particle surface (growth).
    double surface_share;
    if (in.xk > in.xks_area_rhog) {
        out.xkg_local = in.xk - in.xks_area_rhog;
        surface_share = in.xks_area_rhog;
    } else {
        out.xkg_local = 0.0;
        surface_share = in.xk;
    }
    out.xks_local = in.total_area > 0 ? surface_share / (in.rhog * in.total_area) : 0.0;

    const std::int64_t isec = std::max<std::int64_t>(in.isec, 0);
    const double vel = in.vel;
    const double rhog = in.rhog;
    const double vpi = in.vpi;

    const double* y = in.y.data();
    const double* N = y;
    const double* V = y + in.intnum;   // node volume per particle (state block)
    const double* A = y + in.int2num;
    const double* C = y + in.int3num;
    const double* x = in.x.data();
    const double* xdp = in.xdp.data();
    const double* xnpr = in.xnpr.data();
    double* yp = out.yp.data();
    const std::size_t nx = in.x.size();

    work.carbon_per_particle.assign(static_cast<std::size_t>(isec), 0.0);
    double* cpp = work.carbon_per_particle.data();
    for (std::int64_t m = 0; m < isec; ++m) cpp[m] = N[m] > 0 ? C[m] / N[m] : 0.0;

    const double dT = out.xks_local * conc * in.avog * rhog * in.v0 * vpi;
    const double dU = vpi * 4 * out.xks_local * conc * in.avog * in.v0;
    const double sinter_exp = std::exp(kSinteringActivation / in.temp);
    const double x_top = isec > 0 ? x[isec - 1] : 0.0;

    for (std::int64_t i = 0; i < isec; ++i) {
        // Coagulation birth: every unordered pair (k <= j) whose product lands
        // near node i, split between i and the neighbour node on the far side
        // so that number and volume are both kept. A pair with j < k (the
        // unset diagonal of inner rows) is the same collision as (j, k),
        // already counted in this row, and is skipped.
        double birth_N = 0.0, birth_A = 0.0, birth_C = 0.0;
        const double x_i = x[i];
        for (std::int64_t k = 0; k <= i; ++k) {
            const std::int64_t lo = std::max(in.jmin(i, k), k);
            const std::int64_t hi = in.jmax(i, k);
            if (lo > hi) continue;
            if (hi >= isec) throw_out_of_bounds(hi, isec, 1);
            const double Nk = N[k], Ak = A[k], ck = cpp[k], xk = x[k];
            const double* beta_row = &in.betafu(k, 0);
            for (std::int64_t j = lo; j <= hi; ++j) {
                const double v = xk + x[j];
                double w = 1.0;
                if (!(v > x_top)) {
                    std::int64_t m = v >= x_i ? i + 1 : i - 1;
                    const double xm = (m < 0 || static_cast<std::size_t>(m) >= nx)
                                          ? x[wrap_index(m, nx)]
                                          : x[m];
                    // A neighbour that does not bracket the product cannot share it:
                    // a collapsed node (x_m == x_i, a zero-width split) or an emptied
                    // one whose node volume reads 0 would give 0/0, inf or a weight
                    // above 1 (number and volume created). The product then stays
                    // whole in node i: the pair's number is credited once. A
                    // bracketing neighbour always gives a weight in [0, 1].
                    const double width = xm - x_i;
                    w = width != 0.0 ? (xm - v) / width : 1.0;
                    if (!(w >= 0.0 && w <= 1.0)) w = 1.0;
                }
                const double b = (j == k ? 0.5 : 1.0) * beta_row[j];
                birth_N += w * b * N[j] * Nk;
                birth_A += (Nk * A[j] + N[j] * Ak) * b * w;
                birth_C += (ck + cpp[j]) * b * N[j] * Nk * w;
            }
        }

        // Coagulation death: every collision of a particle of i removes it.
        double S = 0.0;
        const double* beta_i = &in.betafu(i, 0);
        for (std::int64_t j = 0; j < isec; ++j) S += beta_i[j] * N[j];
        const double death_N = S * N[i] * rhog / vel;
        const double death_A = S * A[i] * rhog / vel;
        const double death_C = S * C[i] * rhog / vel;

        yp[in.int3num + i] = birth_C * rhog / vel - death_C;

        const bool populated = holds_particles(N[i]);
        double ts = 0.0;
        double sintering = kEmptySintering;
        if (i == 0) {
            // Nucleation of monomers into section 0 pulls its node towards v0;
            // section 0 gets no surface growth and no coagulation birth.
            const double dyn = conc * in.avog * out.xkg_local / vel;
            const double dynx = N[0] > 0 ? (in.v0 - V[0]) * dyn / N[0] : 0.0;
            yp[in.intnum] = dynx;
            if (populated) {
                ts = std::max(kSinteringPrefactor * std::pow(xdp[0], 4) * sinter_exp,
                              kShortestSinteringTime);
                sintering = (A[0] - vpi * std::pow(6 / vpi * V[0], 2.0 / 3.0) * N[0]) / ts;
            }
            yp[0] = dyn - death_N;
            yp[in.int2num] = 0 - death_A + dyn * in.a0 - sintering / vel;
        } else {
            yp[i] = birth_N * rhog / vel - death_N;
            yp[in.intnum + i] = dT * std::pow(xdp[i], 2) * xnpr[i] / vel;
            const double growth_A = dU * xnpr[i] * N[i] * xdp[i] * rhog / vel;
            if (populated) {
                ts = std::pow(xnpr[i], 0.45) * xdp[i] > kSmallParticleSize
                         ? kSinteringPrefactor * std::pow(xdp[i], 4) * sinter_exp
                         : kSmallParticleSinteringTime;
                ts = std::max(ts, kShortestSinteringTime);
                // Excess area over N compact spheres of the node volume relaxes over ts.
                sintering = (A[i] - vpi * std::pow(6 / vpi * V[i], 2.0 / 3.0) * N[i]) / ts;
            } else {
                ts = kShortestSinteringTime;
            }
            yp[in.int2num + i] = birth_A * rhog / vel - death_A - sintering / vel + growth_A;
        }
        out.ts[i] = ts;
    }

    yp[in.int4num] = -in.xk * conc / vel;
}

}  // namespace velmora::pbe
