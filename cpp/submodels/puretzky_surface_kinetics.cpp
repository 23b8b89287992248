#include "submodels/puretzky_surface_kinetics.hpp"

#include <cmath>
#include <numbers>
#include <utility>

#include "common/errors.hpp"
#include "common/output.hpp"
#include "submodels/species_mass.hpp"

namespace velmora::submodels {

namespace {

constexpr double kPi = std::numbers::pi;

double require(const std::optional<double>& value, const char* name) {
    if (!value) throw missing_attribute(PuretzkySurfaceKinetics::kClassName, name);
    return *value;
}

// The host's math.sqrt refuses negative arguments.
double checked_sqrt(double x) {
    if (x < 0.0) throw InvalidValue("math domain error");
    return std::sqrt(x);
}

// max(x, 0) as the host evaluates it: x unless 0 is strictly larger.
double floor_at_zero(double x) { return 0.0 > x ? 0.0 : x; }

}  // namespace

void check_unpack_size(std::size_t got, std::size_t expected) {
    if (got < expected)
        throw InvalidValue("not enough values to unpack (expected " + std::to_string(expected) +
                         ", got " + std::to_string(got) + ")");
    if (got > expected)
        throw InvalidValue("too many values to unpack (expected " + std::to_string(expected) + ")");
}

std::string non_convergence_line(std::string_view temperature_label, std::string_view message) {
    return "Warning: Solution at " + std::string(temperature_label) + "°C did not converge: " +
           std::string(message);
}

std::string simulation_error_line(std::string_view temperature_label, std::string_view error_text) {
    return "Error in simulation at " + std::string(temperature_label) + "°C: " + std::string(error_text);
}

PuretzkySurfaceKinetics::PuretzkySurfaceKinetics(PuretzkyParameters params)
    : parameters(std::move(params)) {
    B = k_sb_known / std::exp(-E_sb / (kBoltzmannEv * T_known));
}

const std::string& PuretzkySurfaceKinetics::product_species(std::size_t i) const {
    if (i >= parameters.main_product_species.size()) throw OutOfRange("list index out of range");
    return parameters.main_product_species[i];
}

void PuretzkySurfaceKinetics::set_dp(double dp_current) {
    dp = dp_current;
    if (dp < 0) {
        print_line("internal warning: Negative dp value");
        return;
    }
    species_weight = molecule_mass_kg(parameters.feedstock_gas_name);
    const double mass_1 = molecule_mass_kg(product_species(0));
    const double mass_2 = molecule_mass_kg(product_species(1));
    average_species_weight_product = checked_div(mass_1 * parameters.np1 + mass_2 * parameters.np2,
                                                 parameters.np1 + parameters.np2);
    const double uncovered = 1.0 - std::min(1.0 - parameters.fra_cnt_gp, parameters.gp_cove_rati);
    S_0 = uncovered * parameters.npr * kPi * (dp * dp);
}

// Below absolute zero the Arrhenius factors turn into exp(+large) and overflow; absolute zero
// itself stays the division by zero it is.
static double require_absolute_temperature(double kelvin, const char* name) {
    if (std::isnan(kelvin) || kelvin < 0.0)
        throw InvalidValue(std::string(name) + " is below absolute zero or not a number: " + py_repr(kelvin) +
                         " K");
    return kelvin;
}

double PuretzkySurfaceKinetics::calculate_k_sb(double temperature_kelvin) const {
    require_absolute_temperature(temperature_kelvin, "calculate_k_sb: temperature_kelvin");
    return B * std::exp(checked_div(-E_sb, kBoltzmannEv * temperature_kelvin));
}

double PuretzkySurfaceKinetics::calculate_n(double /*temp_C*/, double t,
                                            std::optional<std::span<const double>> y) const {
    if (y) {
        check_unpack_size(y->size(), kStateSize);
        const auto& s = *y;
        const double carbon_taken_up = s[0] + s[3] + s[4];
        return floor_at_zero(parameters.n0 - carbon_taken_up / 2.0);
    }
    const double g = parameters.gas_NP_time_considered ? 1.0 : 1.0 - std::exp(-0.02 * t);
    const double n = g * parameters.n0 - 2.0 * (parameters.np1 + parameters.np2);
    return n <= 0 ? 0.0 : n;
}

double PuretzkySurfaceKinetics::calculate_length(double N_t) const {
    const double atoms_per_micrometre = dp * 1e9 / 10.0 * 7000000.0;
    return checked_div(N_t, atoms_per_micrometre);
}

void PuretzkySurfaceKinetics::concentrations(std::span<const double> y, double& n, double& n_p) const {
    const double N_c = y[0], N_b = y[3], N_t = y[4];
    n = floor_at_zero(parameters.n0 - ((N_c + N_b + N_t) / 2.0) / parameters.reactor_volume);
    n_p = parameters.np1 + parameters.np2;
    if (n <= 0) {  // feedstock used up: no product flux either
        n = 0.0;
        n_p = 0.0;
    }
}

PuretzkySurfaceKinetics::RateTerms PuretzkySurfaceKinetics::rate_terms(double temp_C) const {
    RateTerms r;
    const double temp = require_absolute_temperature(temp_C + 273.15, "temp_C + 273.15");
    const double A_etching = 1.1516666666666666e-08 * std::exp(checked_div(-8672.119316815011, temp));
    const double B_etching = 3.5e-12 * std::exp(checked_div(-14204.955496752465, temp));

    // Kinetic-theory wall flux factors (the concentrations enter per state).
    r.decomposition = std::exp(checked_div(-E_a1, kBoltzmannEv * temp));
    require(S_0, "S_0");
    r.sqrt_feed = checked_sqrt(checked_div(kb * temp, 2.0 * kPi * require(species_weight, "species_weight")));
    r.sqrt_product = checked_sqrt(checked_div(
        kb * temp, 2.0 * kPi * require(average_species_weight_product, "average_species_weight_product")));

    r.k_sb = calculate_k_sb(temp);
    r.k_t = checked_div(4e-05, dp * dp) * std::exp(checked_div(-E_b, kBoltzmannEv * temp));

    r.particle_area = kPi * parameters.npr * (dp * dp) / 2.0;
    r.current_H2_flux = checked_div(parameters.current_H2_flux_coeff, dp / 2.0) * r.particle_area;
    r.k_r = r.current_H2_flux * 1.2e8 * std::exp(checked_div(-2.4, kBoltzmannEv * temp));

    const double P = parameters.H2_current_partial_pressure;
    r.etching_factor = checked_div(A_etching * (P * P), 1.0 + B_etching * P);
    r.site_capacity = alpha * *S_0 * n_m;
    if (r.site_capacity == 0.0) throw DivisionByZero("float division by zero");
    return r;
}

void PuretzkySurfaceKinetics::derivatives(const RateTerms& r, std::span<const double> y,
                                          std::span<double> dydt) const {
    const double N_c = y[0], N_L1 = y[1], N_L2 = y[2], N_b = y[3];
    double n = 0.0, n_p = 0.0;
    concentrations(y, n, n_p);
    const double F_c1 = 0.25 * *S_0 * n * r.sqrt_feed * r.decomposition;
    const double F_c2 = 0.25 * *S_0 * n_p * r.sqrt_product * r.decomposition;
    const double free_sites = 1.0 - (N_L1 + N_L2) / r.site_capacity;  // not clipped

    dydt[0] = F_c1 * free_sites - (r.k_sb + k_c1) * N_c - r.etching_factor * N_c;
    dydt[1] = parameters.carb_strc_surface
                  ? F_c2 * free_sites + k_c1 * N_c - k_d1 * N_L2 - r.etching_factor * N_L1
                  : 0.0;
    dydt[2] = parameters.carb_deactiv ? r.k_r * free_sites - k_d2 * N_L2 : 0.0;
    dydt[3] = r.k_sb * N_c - r.k_t * N_b + k_d1 * N_L1;
    dydt[4] = r.k_t * N_b;
    dydt[5] = r.etching_factor * (N_c + N_L1);
}

void PuretzkySurfaceKinetics::ode_system(double /*t*/, std::span<const double> y, double temp_C,
                                         std::span<double> dydt) {
    check_unpack_size(y.size(), kStateSize);
    if (parameters.reactor_volume == 0.0) throw DivisionByZero("float division by zero");
    const RateTerms terms = rate_terms(temp_C);
    particle_area = terms.particle_area;
    current_H2_flux = terms.current_H2_flux;
    derivatives(terms, y, dydt);
}

numerics::OdeResult PuretzkySurfaceKinetics::integrate(double temp_C, double t_start, double t_end,
                                                       bool keep_steps) {
    const auto& y0 = parameters.initial_conditions;
    const double length = t_end - t_start;
    if (length == 0.0) {
        // Nothing to integrate: the start state at both ends, no evaluation.
        numerics::OdeResult result;
        result.n = y0.size();
        result.t = {t_start, t_start};
        result.y.reserve(2 * y0.size());
        result.y.insert(result.y.end(), y0.begin(), y0.end());
        result.y.insert(result.y.end(), y0.begin(), y0.end());
        result.success = true;
        result.status = 0;
        result.message = "The solver successfully reached the end of the integration interval.";
        return result;
    }
    // One full evaluation at the start state raises whatever any evaluation
    // would (every failure is independent of the state) and leaves particle_area
    // and current_H2_flux as each evaluation does; the integration then reuses
    // the temperature terms.
    std::array<double, kStateSize> dydt0{};
    ode_system(0.0, y0, temp_C, dydt0);
    const RateTerms terms = rate_terms(temp_C);

    numerics::OdeOptions options;
    options.rtol = 1e-8;
    options.atol = 1e-15;
    options.keep_steps = keep_steps;
    auto rhs = [this, &terms](double, std::span<const double> y, std::span<double> dydt) {
        derivatives(terms, y, dydt);
    };
    numerics::OdeResult result = numerics::solve_ivp_lsoda(rhs, 0.0, length, y0, options);
    for (double& t : result.t) t += t_start;
    if (!result.t.empty()) {
        result.t.front() = t_start;
        if (result.success) result.t.back() = t_end;
    }
    return result;
}

std::vector<SurfaceKineticsRun> PuretzkySurfaceKinetics::run_surface_kinetics_simulation(
    std::span<const double> temperatures_C, double t_start, double t_end,
    std::span<const std::string> labels, bool keep_steps) {
    return run_surface_kinetics_simulation(
        temperatures_C.size(),
        [&](std::size_t i) { return i < labels.size() ? labels[i] : py_repr(temperatures_C[i]); },
        [&](std::size_t i) { return temperatures_C[i]; }, t_start, t_end, keep_steps);
}

std::vector<SurfaceKineticsRun> PuretzkySurfaceKinetics::run_surface_kinetics_simulation(
    std::size_t count, const std::function<std::string(std::size_t)>& label,
    const std::function<double(std::size_t)>& temperature_C, double t_start, double t_end,
    bool keep_steps) {
    std::vector<SurfaceKineticsRun> results;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string text = label(i);
        try {
            const double temp_C = temperature_C(i);
            numerics::OdeResult solution = integrate(temp_C, t_start, t_end, keep_steps);
            if (!solution.success) {
                print_line(non_convergence_line(text, solution.message));
                continue;
            }
            results.push_back({i, temp_C, std::move(solution)});
        } catch (const std::exception& e) {
            print_line(simulation_error_line(text, e.what()));
        }
    }
    if (results.empty())
        throw InvalidValue(kNoSimulationCompleted);
    return results;
}

PuretzkyFinalValues PuretzkySurfaceKinetics::get_final_values(
    const std::vector<SurfaceKineticsRun>& results) {
    return get_final_values(results.size(), [&results] {
        const SurfaceKineticsRun& first = results.front();
        const numerics::OdeResult& solution = first.solution;
        if (solution.t.empty()) throw OutOfRange("index -1 is out of bounds for axis 0 with size 0");
        return RunEnd{first.temp_C, solution.t.back(), solution.final_state()};
    });
}

PuretzkyFinalValues PuretzkySurfaceKinetics::get_final_values(std::size_t run_count,
                                                              const std::function<RunEnd()>& first_run) {
    if (run_count > 1)
        print_line("Warning: Multiple temperatures found. Using only the first temperature.");
    if (run_count == 0) throw OutOfRange("list index out of range");
    const RunEnd end = first_run();
    return get_final_values(end.temp_C, end.final_time, end.final_state);
}

PuretzkyFinalValues PuretzkySurfaceKinetics::get_final_values(double temp_C, double final_time,
                                                              std::span<const double> final_state) {
    const double n = calculate_n(temp_C, final_time, final_state);
    PuretzkyFinalValues out;
    out.values = {n, final_state[0], final_state[1], final_state[2],
                  final_state[3], final_state[4], final_state[5]};
    site_per_particle = mass_calculator(product_species(1), dp, parameters.npr).site_per_particle;
    out.current_H2_flux = require(current_H2_flux, "current_H2_flux");
    return out;
}

}  // namespace velmora::submodels
