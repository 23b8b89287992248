// Particle morphology per section and the Fuchs collision-frequency matrix
// between sections (free-molecular to continuum, with a Knudsen-corrected
// diffusion coefficient).
#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "pbe/matrix_view.hpp"

namespace velmora::pbe {

struct BetaInputs {
    std::span<const double> y;            // state vector: N at [i], x at [intnum+i], A at [int2num+i]
    std::span<const double> initial_v;    // initial state; [intnum+i] replaces a non-positive node volume
    std::span<const double> x1_previous;  // collision diameters reached earlier (m)
    std::span<const double> xdp_updated;  // externally updated collision diameters (m)
    std::span<const double> xdp_backup;   // last known primary diameters (m)
    std::int64_t isec = 0;                // sections in use
    std::int64_t intnum = 0;              // capacity, offset of the volume block
    std::int64_t int2num = 0;             // offset of the area block
    std::int64_t counter = 0;             // completed output steps of the driver
    double temp = 0;                      // gas temperature (K)
    double eta = 0;                       // gas viscosity (Pa s)
    double xlm = 0;                       // gas mean free path (m)
    double rhop = 0;                      // particle density (kg/m^3)
    double vpi = 0;                       // pi as used by the model
    double rkb = 0;                       // Boltzmann constant (J/K)
    bool collision_diameter_update = false;
};

// Caller-owned results. Sizes: y == inputs.y.size(), xdp_backup ==
// inputs.xdp_backup.size(), the per-section arrays intnum, betafu intnum x intnum.
// y may alias inputs.y and xdp_backup may alias inputs.xdp_backup (in-place update).
struct BetaOutputs {
    std::span<double> y;           // copy of the state, non-positive volumes of live sections reset
    std::span<double> x;           // node volume (0 for empty sections)
    std::span<double> xdp;         // primary-particle diameter (m)
    std::span<double> xdp_backup;  // primary diameter from the volume-to-surface ratio
    std::span<double> xnpr;        // primary particles per agglomerate (0 for empty sections)
    std::span<double> x1;          // collision diameter (m)
    std::span<double> xkn1;        // Knudsen number
    std::span<double> xdf;         // fractal dimension
    MatrixView<double> betafu;     // symmetric collision frequencies (m^3/s)
    double last_fractal_dimension = 0.0;  // Df of the last populated section, 0 if none
};

// Per-section transport properties kept between the two passes. Grows to
// intnum on first use and is reused afterwards (no allocation per call).
struct BetaWorkspace {
    std::vector<double> diffusivity;   // Knudsen-corrected diffusion coefficient (m^2/s)
    std::vector<double> thermal_speed; // mean thermal speed (m/s)
    std::vector<double> fuchs_length;  // Fuchs transition length (m)
};

// Fills every output (the per-section arrays and betafu are zeroed first).
// Throws ZeroDivisionError("float division") on any zero divisor, IndexError
// for an index outside its array (negative indices count from the end),
// ValueError when an output has the wrong size. Prints "HIHI11" when a
// primary-particle volume comes out non-positive.
void compute_beta_matrix(const BetaInputs& in, BetaOutputs& out, BetaWorkspace& work);

// A gas state the kernel cannot represent (a viscosity or mean free path so
// small that the diffusivity overflows, and the like) must not come back as a
// matrix of inf/NaN: ValueError naming the gas quantities.
void require_finite_beta_matrix(const BetaInputs& in, const BetaOutputs& out);

}  // namespace velmora::pbe
