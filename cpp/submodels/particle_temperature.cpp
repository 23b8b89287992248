#include "submodels/particle_temperature.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <exception>
#include <numbers>

#include "common/errors.hpp"
#include "gas/step_limits.hpp"
#include "common/output.hpp"
#include "numerics/lsoda.hpp"

namespace velmora::submodels {

namespace {

constexpr double kBoltzmann = 1.38066e-23;         // J/K
constexpr double kStefanBoltzmann = 5.669e-08;     // W/(m^2 K^4)

// Reads entry i of a per-section array the way a bounds-checked array would.
double at(std::span<const double> values, std::size_t i, const char* what) {
    if (i >= values.size()) {
        throw OutOfRange("index " + std::to_string(i) + " is out of bounds for axis 0 with size " +
                         std::to_string(values.size()) + " (" + what + ")");
    }
    return values[i];
}

// First `count` entries of particle_info from `offset`, cut at its end.
std::span<const double> block(std::span<const double> info, std::size_t offset, std::size_t count) {
    if (offset >= info.size()) return {};
    return info.subspan(offset, std::min(count, info.size() - offset));
}

// Heat terms of one active section that do not depend on its temperature.
struct SectionHeat {
    std::size_t index;
    double sintering;      // W, surface energy released by sintering
    double convection;     // W/K, collision rate times heat per collision
    double radiation;      // W/K^4
    double heat_capacity;  // J/K
};

enum class SinteringTerm { when_tau_positive, unless_tau_nonpositive };

// Gathers the active sections i < isec in order, reading each per-section
// array only where the balance needs it, so a short array fails at the same
// section a direct evaluation would.
std::vector<SectionHeat> active_sections(const ParticleTemperatureInputs& in, SinteringTerm rule) {
    const std::size_t isec = in.isec > 0 ? static_cast<std::size_t>(in.isec) : 0;
    const auto n_block = block(in.particle_info, 0, isec);
    const auto v_block = block(in.particle_info, in.intnum, isec);
    const std::size_t a_offset = in.intnum > in.particle_info.size() ? in.particle_info.size() : 2 * in.intnum;
    const auto a_block = block(in.particle_info, a_offset, isec);
    const double collision_scale = std::sqrt(2 * std::numbers::pi * in.xmwp_gas * kBoltzmann * in.temp_gas);

    std::vector<SectionHeat> sections;
    for (std::size_t i = 0; i < isec; ++i) {
        const double number = at(n_block, i, "N block of particle_info_previous");
        if (!(number > 0)) continue;
        if (!(at(v_block, i, "V block of particle_info_previous") > 0)) continue;

        const double area_sph = at(in.area_np_sph, i, "area_NP_sph");
        const double tau = at(in.taus, i, "taus_current");
        const bool sintering = rule == SinteringTerm::when_tau_positive ? tau > 0 : !(tau <= 0);
        double e_surface = 0.0;
        if (sintering) {
            const double area_total = at(a_block, i, "A block of particle_info_previous");
            e_surface = in.surf_tension_np * (area_total / number - area_sph) / tau;
        }
        at(in.temp_np_previous, i, "temp_NP_previous");
        const double n_primary = at(in.n_p, i, "n_p");

        const double collision_rate = area_sph * in.reactor_pressure / collision_scale;
        sections.push_back({i, e_surface, collision_rate * in.spec_heat_gas,
                            in.emissivity_np * kStefanBoltzmann * area_sph, in.spec_heat_np * n_primary});
    }
    return sections;
}

// dT/dt of a section at temperature t, K/s.
double heating_rate(const SectionHeat& s, double t, double t_gas) {
    const double e_convection = s.convection * (t - t_gas);
    const double e_radiation = s.radiation * (std::pow(t, 4.0) - std::pow(t_gas, 4.0));
    return (s.sintering - e_convection - e_radiation) / s.heat_capacity;
}

std::vector<double> explicit_step(const ParticleTemperatureInputs& in) {
    std::vector<double> temps(in.temp_np_previous.begin(), in.temp_np_previous.end());
    const double dt = (in.x_end - in.x_start) / in.flow_velocity;
    for (const SectionHeat& s : active_sections(in, SinteringTerm::when_tau_positive)) {
        double& t = temps[s.index];
        t += heating_rate(s, t, in.temp_gas) * dt;
        if (t < in.temp_gas) t = in.temp_gas;
    }
    return temps;
}

// Integrates dT/dx = (dT/dt) / u over the step. Throws for bad input; a
// solver that gives up comes back with success == false.
numerics::OdeResult integrate_ode(const ParticleTemperatureInputs& in) {
    const std::vector<SectionHeat> sections = active_sections(in, SinteringTerm::unless_tau_nonpositive);
    const double t_gas = in.temp_gas;
    const double velocity = in.flow_velocity;
    auto rhs = [&](double, std::span<const double> temps, std::span<double> dtemp_dx) {
        std::fill(dtemp_dx.begin(), dtemp_dx.end(), 0.0);
        for (const SectionHeat& s : sections) {
            dtemp_dx[s.index] = heating_rate(s, temps[s.index], t_gas) / velocity;
        }
    };
    numerics::OdeOptions options;
    options.rtol = 1e-9;
    options.atol = 1e-25;
    options.keep_steps = false;
    return numerics::solve_ivp_lsoda(rhs, in.x_start, in.x_end, in.temp_np_previous, options);
}

ParticleTemperatureResult ode_step(const ParticleTemperatureInputs& in) {
    const std::span<const double> previous = in.temp_np_previous;
    ParticleTemperatureResult result;
    try {
        if (!std::all_of(previous.begin(), previous.end(), [](double t) { return std::isfinite(t); })) {
            throw InvalidValue("All components of the initial state `y0` must be finite.");
        }
        if (!std::isfinite(in.x_start) || !std::isfinite(in.x_end)) {
            throw InvalidValue("interval_x must hold finite positions");
        }
        std::vector<double> temps(previous.begin(), previous.end());
        // An empty state or an empty interval needs no integration (and no rate evaluation).
        if (!previous.empty() && in.x_start != in.x_end) {
            const numerics::OdeResult solution = integrate_ode(in);
            if (!solution.success) {
                print_line("Warning: Particle temperature ODE solve failed, using previous values");
                result.temperatures.assign(previous.begin(), previous.end());
                result.outcome = ParticleTemperatureOutcome::solver_failed;
                return result;
            }
            const auto end = solution.final_state();
            temps.assign(end.begin(), end.end());
        }
        for (double& t : temps) {
            if (t < in.temp_gas) t = in.temp_gas;
        }
        result.temperatures = std::move(temps);
    } catch (const std::exception& e) {
        print_line(std::string("Error in particle temperature solver: ") + e.what());
        print_line("Using previous temperature values");
        result.temperatures.assign(previous.begin(), previous.end());
        result.outcome = ParticleTemperatureOutcome::solver_error;
        result.error_text = e.what();
    }
    return result;
}

}  // namespace

ParticleTemperatureScheme particle_temperature_scheme(std::string_view numerical_approach) {
    return numerical_approach == "Explicit" ? ParticleTemperatureScheme::explicit_euler
                                            : ParticleTemperatureScheme::ode;
}

ParticleTemperatureResult particle_temperature(const ParticleTemperatureInputs& in,
                                               ParticleTemperatureScheme scheme) {
    // Radiation (T^4) and the thermal speed (sqrt T) have no meaning at or below 0 K.
    // (Non-finite start values keep their own handling: the solver refuses them
    // and the previous temperatures come back.)
    if (in.temp_gas <= 0)
        throw InvalidValue("temp_gas_previous must be a gas temperature above 0 K, got " +
                         std::to_string(in.temp_gas));
    for (std::size_t i = 0; i < in.temp_np_previous.size(); ++i)
        if (in.temp_np_previous[i] <= 0)
            throw InvalidValue("temp_NP_previous[" + std::to_string(i) +
                             "] must be a particle temperature above 0 K, got " +
                             std::to_string(in.temp_np_previous[i]));
    // The heat capacity divides every rate and the velocity turns the axial step
    // into a time: zero, subnormal, negative or non-numbers can only give NaN/inf.
    auto positive = [](double value, const char* name, const char* what) {
        if (!(std::isnormal(value) && value > 0))
            throw InvalidValue(std::string(name) + " must be " + what + ", got " + gas::number_text(value));
    };
    positive(in.spec_heat_np, "spec_heat_NP", "a finite positive heat capacity (J/K)");
    positive(in.flow_velocity, "flow_velocity", "a finite positive gas velocity (m/s)");
    if (scheme == ParticleTemperatureScheme::explicit_euler) return {explicit_step(in), {}, {}};
    return ode_step(in);
}

}  // namespace velmora::submodels
