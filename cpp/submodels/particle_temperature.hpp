// Temperature of the catalyst agglomerates of each size section over one axial
// step. A section exchanges heat with the gas by free-molecular collisions and
// by radiation, and gains the surface energy released while sintering shrinks
// its surface towards that of its equivalent sphere.
#pragma once
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::submodels {

struct ParticleTemperatureInputs {
    double spec_heat_np = 0.0;     // heat capacity per primary particle, J/K
    double spec_heat_gas = 0.0;    // heat carried off per gas collision per kelvin, J/K
    double surf_tension_np = 0.0;  // J/m^2
    double emissivity_np = 0.0;
    std::span<const double> temp_np_previous;  // section temperatures at the step start, K
    double temp_gas = 0.0;                     // K
    std::span<const double> taus;              // per section sintering time, s
    std::span<const double> particle_info;     // blocks of intnum: number N, volume V, total area A
    std::span<const double> area_np_sph;       // per section area of the equivalent sphere, m^2
    double xmwp_gas = 0.0;                     // mass of one gas molecule
    std::span<const double> n_p;               // per section primary particles per agglomerate
    double reactor_pressure = 0.0;             // Pa
    std::size_t intnum = 0;                    // block length in particle_info
    long long isec = 0;                        // sections processed: 0 .. isec-1 (negative: none)
    double flow_velocity = 0.0;                // m/s
    double x_start = 0.0, x_end = 0.0;         // axial step, m
};

enum class ParticleTemperatureScheme {
    explicit_euler,  // one Euler step over the axial interval
    ode,             // adaptive LSODA in the axial coordinate (rtol 1e-9, atol 1e-25)
};

// Only the exact text "Explicit" selects the Euler step; anything else the ODE solve.
ParticleTemperatureScheme particle_temperature_scheme(std::string_view numerical_approach);

enum class ParticleTemperatureOutcome {
    computed,       // temperatures advanced over the step
    solver_failed,  // ODE solver reported no success; warning line printed, previous values returned
    solver_error,   // exception during the ODE solve; two lines printed, previous values returned
};

struct ParticleTemperatureResult {
    std::vector<double> temperatures;  // same length as temp_np_previous, K
    ParticleTemperatureOutcome outcome = ParticleTemperatureOutcome::computed;
    std::string error_text;  // the caught exception's text when outcome == solver_error
};

// Advances the section temperatures over [x_start, x_end]. Sections whose
// number N and volume V are not both positive keep their temperature in the
// ODE, and in the Euler step are left untouched. The ODE result is raised to
// the gas temperature entry by entry; the Euler step floors active sections only.
// The Euler step lets every exception through (IndexError when a per-section
// array is too short for isec); the ODE scheme catches them, prints and falls
// back to the previous temperatures (see ParticleTemperatureOutcome).
ParticleTemperatureResult particle_temperature(const ParticleTemperatureInputs& in,
                                               ParticleTemperatureScheme scheme);

}  // namespace velmora::submodels
