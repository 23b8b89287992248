#include "pbe/beta_matrix.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "common/errors.hpp"
#include "common/positive_quantity.hpp"
#include "common/output.hpp"
#include "pbe/checked_index.hpp"
#include "pbe/section_occupancy.hpp"

namespace velmora::pbe {
namespace {

void require_size(std::size_t actual, std::size_t expected, const char* what) {
    if (actual != expected)
        throw InvalidValue(std::string("beta-matrix output '") + what + "' has the wrong size");
}

void check_outputs(const BetaInputs& in, const BetaOutputs& out) {
    if (in.intnum < 0) throw InvalidValue("negative dimensions are not allowed");
    const auto n = static_cast<std::size_t>(in.intnum);
    require_size(out.y.size(), in.y.size(), "y");
    require_size(out.xdp_backup.size(), in.xdp_backup.size(), "xdp_backup");
    require_size(out.x.size(), n, "x");
    require_size(out.xdp.size(), n, "xdp");
    require_size(out.xnpr.size(), n, "xnpr");
    require_size(out.x1.size(), n, "x1");
    require_size(out.xkn1.size(), n, "xkn1");
    require_size(out.xdf.size(), n, "xdf");
    if (!out.betafu.consistent() || out.betafu.rows != in.intnum || out.betafu.cols != in.intnum)
        throw InvalidValue("beta-matrix output 'betafu' has the wrong shape");
}

// Fractal dimension from the number of primary particles: 3 for one sphere,
// tending to 1.9 for large agglomerates.
double fractal_dimension(double primaries) {
    const double L = std::log(primaries);
    return float_div(1.9 * std::pow(L, 2) - 2.6 * L + 3, std::pow(L, 2) - L + 1);
}

}  // namespace

void compute_beta_matrix(const BetaInputs& in, BetaOutputs& out, BetaWorkspace& work) {
    check_outputs(in, out);
    // Thermal speeds and diffusivities go as sqrt(T): no collision rate exists at or below 0 K.
    if (!(std::isfinite(in.temp) && in.temp > 0))
        throw InvalidValue("temp must be a finite gas temperature above 0 K, got " + std::to_string(in.temp));
    // pi turns areas and volumes into diameters and the particle density
    // divides the thermal speed: 0, negative or non-numbers only give NaN.
    require_positive_normal(in.vpi, "vpi", "pi (a finite number above 0)");
    require_positive_normal(in.rhop, "rhop", "a finite particle density above 0 kg/m^3");
    const std::size_t n = out.x.size();

    if (out.y.data() != in.y.data()) std::copy(in.y.begin(), in.y.end(), out.y.begin());
    if (out.xdp_backup.data() != in.xdp_backup.data())
        std::copy(in.xdp_backup.begin(), in.xdp_backup.end(), out.xdp_backup.begin());
    for (auto s : {out.x, out.xdp, out.xnpr, out.x1, out.xkn1, out.xdf})
        std::fill(s.begin(), s.end(), 0.0);
    std::fill(out.betafu.data.begin(), out.betafu.data.begin() + n * n, 0.0);
    out.last_fractal_dimension = 0.0;

    // Same length as the per-section outputs, so a workspace index is valid
    // whenever the output write at that index succeeded.
    work.diffusivity.assign(n, 0.0);
    work.thermal_speed.assign(n, 0.0);
    work.fuchs_length.assign(n, 0.0);

    const double vpi = in.vpi;
    auto& y = out.y;
    const std::size_t ny = y.size();

    // Pass 1: morphology and transport properties per section. Every index
    // is checked here; this pass is linear in isec.
    for (std::int64_t i = 0; i < in.isec; ++i) {
        const double N = y[wrap_index(i, ny)];
        const double A = y[wrap_index(in.int2num + i, ny)];
        if (!holds_particles(N)) {
            // Empty section: no morphology, no collisions.
            const std::size_t s = wrap_index(i, n);
            out.xdp[s] = 0.0;
            out.xnpr[s] = 0.0;
            out.x1[s] = 0.0;
            work.fuchs_length[s] = 0.0;
            work.thermal_speed[s] = 0.0;
            work.diffusivity[s] = 0.0;
            continue;
        }
        const std::size_t vol = wrap_index(in.intnum + i, ny);
        if (y[vol] <= 0) y[vol] = in.initial_v[wrap_index(in.intnum + i, in.initial_v.size())];
        const std::size_t s = wrap_index(i, n);
        const double x = y[vol];
        out.x[s] = x;

        // Primary diameter from the volume-to-surface ratio. Less surface than one
        // sphere of this volume per particle, or an area too small to be resolved
        // (see section_occupancy.hpp), reads as one compact sphere.
        double xnpr = 1;
        bool compact = true;
        if (area_gives_shape(N, A)) {
            double xdp = float_div(x * 6 * N, A);
            out.xdp[s] = xdp;
            out.xdp_backup[wrap_index(i, out.xdp_backup.size())] = xdp;

            double primary_volume = std::pow(xdp, 3) * (vpi / 6);
            if (primary_volume <= 0) {
                print_line("HIHI11");
                primary_volume = 1e-30;
            }
            const double particle_volume = x;
            xnpr = float_div(particle_volume, primary_volume);
            compact = xnpr < 1;
        }
        if (compact) {
            xnpr = 1;
            out.xdp[s] = std::pow(float_div(6, vpi) * x, 1.0 / 3.0);
        }
        const double xdp = out.xdp[s];
        const double particle_volume = x;
        out.xnpr[s] = xnpr;

        const double Df = fractal_dimension(xnpr);
        out.xdf[s] = Df;
        out.last_fractal_dimension = Df;

        const double candidate = xdp * std::pow(xnpr, float_div(1, Df));
        double x1 = candidate;
        if (in.collision_diameter_update && in.counter > 9) {
            // After the first output steps a collision diameter never shrinks
            // below what was reached before.
            const double updated = in.xdp_updated[wrap_index(i, in.xdp_updated.size())];
            const double previous = in.x1_previous[wrap_index(i, in.x1_previous.size())];
            if (updated >= previous) x1 = candidate < updated ? updated : candidate;
            else x1 = candidate < previous ? previous : candidate;
        }
        out.x1[s] = x1;

        const double Kn = float_div(in.xlm * 2, x1);
        out.xkn1[s] = Kn;
        const double stokes_einstein = float_div(float_div(float_div(in.temp * in.rkb, 3 * vpi), in.eta), x1);
        const double D = float_div(5 + 4 * Kn + 6 * std::pow(Kn, 2) + 18 * std::pow(Kn, 3),
                                   5 - Kn + (8 + vpi) * std::pow(Kn, 2)) *
                         stokes_einstein;
        const double c = std::sqrt(float_div(8 * in.rkb * in.temp, in.rhop * vpi * particle_volume));
        const double l = float_div(8 * D, vpi * c);
        const double g = float_div(std::pow(x1 + l, 3) - std::pow(x1 * x1 + l * l, 1.5), 3 * x1 * l) - x1;
        work.diffusivity[s] = D;
        work.thermal_speed[s] = c;
        work.fuchs_length[s] = g;
    }

    // Pass 2: Fuchs interpolation for every pair of live sections. Pass 1 wrote
    // index isec-1 of the length-intnum outputs, so isec <= intnum here.
    const double* d = out.x1.data();
    const double* D = work.diffusivity.data();
    const double* c = work.thermal_speed.data();
    const double* g = work.fuchs_length.data();
    for (std::int64_t j = 0; j < in.isec; ++j) {
        for (std::int64_t k = 0; k <= j; ++k) {
            double beta = 0.0;
            if (d[j] > 0 && d[k] > 0) {
                const double c12 = std::sqrt(c[j] * c[j] + c[k] * c[k]);
                const double g12 = std::sqrt(g[j] * g[j] + g[k] * g[k]);
                const double dsum = d[j] + d[k];
                const double Dsum = D[j] + D[k];
                const double term1 = float_div(dsum, dsum + 2 * g12);
                const double term2 = float_div(8 * Dsum, dsum * c12);
                beta = float_div(Dsum * (2 * vpi) * dsum, term2 + term1);
            }
            out.betafu(j, k) = beta;
            out.betafu(k, j) = beta;
        }
    }
}

void require_finite_beta_matrix(const BetaInputs& in, const BetaOutputs& out) {
    for (double b : out.betafu.data) {
        if (!std::isfinite(b))
            throw InvalidValue("calculate_beta_matrix_kernel: the collision matrix is not finite for temp=" +
                               py_repr(in.temp) + ", eta=" + py_repr(in.eta) + ", xlm=" + py_repr(in.xlm) +
                               ", rhop=" + py_repr(in.rhop) + " and the given sections");
    }
}

}  // namespace velmora::pbe
