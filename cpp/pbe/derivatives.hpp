// Right-hand side of the moving sectional population balance along the
// reactor axis: coagulation birth and death of number, area and carbon,
// surface growth of node volume and area, nucleation into section 0,
// sintering of the area towards compact spheres, precursor consumption.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "pbe/matrix_view.hpp"

namespace velmora::pbe {

struct DerivativeInputs {
    std::span<const double> y;     // state: N [i], x [intnum+i], A [int2num+i], C [int3num+i], conc [int4num]
    std::span<const double> x;     // node volumes used for the split of collision products (>= isec)
    std::span<const double> xdp;   // primary-particle diameter per section (m, >= isec)
    std::span<const double> xnpr;  // primary particles per agglomerate (>= isec)
    MatrixView<const double> betafu;       // collision frequencies, at least isec x isec
    MatrixView<const std::int64_t> jmin;   // aggregation classes, at least isec x isec
    MatrixView<const std::int64_t> jmax;
    double temp = 0;           // gas temperature (K)
    double vel = 0;            // gas velocity (m/s); every rate is divided by it
    double rhog = 0;           // gas density
    double avog = 0;           // Avogadro's number
    double v0 = 0;             // monomer volume (m^3)
    double a0 = 0;             // monomer surface area (m^2)
    double vpi = 0;            // pi as used by the model
    double xk = 0;             // total first-order precursor consumption (1/s)
    double xks_area_rhog = 0;  // requested surface consumption (xks * total_area * rhog)
    double total_area = 0;     // sum of A over the live sections
    std::int64_t isec = 0;
    std::int64_t intnum = 0;
    std::int64_t int2num = 0;
    std::int64_t int3num = 0;
    std::int64_t int4num = 0;
};

// Caller-owned results: yp has the size of inputs.y, ts has intnum entries.
// Both are fully overwritten (entries of sections >= isec are 0).
struct DerivativeOutputs {
    std::span<double> yp;
    std::span<double> ts;        // characteristic sintering time per section (s)
    double xkg_local = 0.0;      // gas-phase share of xk
    double xks_local = 0.0;      // surface rate per unit area and gas density
};

// Carbon per particle of each live section, reused between calls.
struct DerivativeWorkspace {
    std::vector<double> carbon_per_particle;
};

// Floating-point arithmetic follows IEEE rules (a zero divisor gives inf or
// NaN, no exception). Every index is proven in range before the loops:
// IndexError when isec exceeds intnum or an input array, when a block offset
// reaches past y, or when a visited aggregation class names a section outside
// [0, isec); ValueError when an output has the wrong size. No allocation once
// the workspace has grown to isec.
void compute_derivatives(const DerivativeInputs& in, DerivativeOutputs& out,
                         DerivativeWorkspace& work);

// For callers outside the integration (the standalone kernel): ValueError when
// a derivative, a consumption rate or a sintering time came out NaN/inf (a
// +inf sintering time is a time too long to count and passes). The reactor's
// own right-hand side keeps the IEEE values: its integrator rejects such a
// step and retries a shorter one.
void require_finite_derivatives(const DerivativeInputs& in, const DerivativeOutputs& out);

}  // namespace velmora::pbe
