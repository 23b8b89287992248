// solve(): the march along the reactor axis. Each outer step integrates the
// population balance natively, then updates particle temperature, the section
// grid, surface kinetics with the gas and carbon bookkeeping, the graphene-shell
// diameters and the histories. The gas-phase step is the only call that may
// leave the core (through the installed GasKinetics).
#include <algorithm>
#include <cmath>

#include "common/errors.hpp"
#include "common/interrupt.hpp"
#include "gas/step_limits.hpp"
#include "common/output.hpp"
#include "model/moving_sectional_model.hpp"
#include "numerics/lsoda.hpp"
#include "submodels/particle_temperature.hpp"

namespace velmora::model {

namespace {

// Outer step length by position: short near the inlet, 4 mm further on.
double outer_step_end(double t) {
    if (t < 1e-6) return t + 1e-7;
    if (t < 1e-5) return t + 1e-6;
    if (t < 0.0011) return t + 5e-5;
    return t + 0.004;
}

// The species whose mole fractions are kept per step: the feedstock, H2, the
// carbon-bearing species the first gas step holds in the largest amounts, and
// CH4 (which the carbon bookkeeping feeds back), each once and only when the
// mechanism has it. The set is fixed for a run so every entry has the same keys.
std::vector<std::string> main_gas_species(const gas::GasState& first, const std::string& feedstock) {
    std::vector<std::string> names;
    const auto add = [&](const std::string& name) {
        if (first.all_species.contains(name) && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    };
    add(feedstock);
    add("H2");
    for (const auto& entry : first.largest_C_species) add(entry.first);
    add("CH4");
    return names;
}

OrderedMap<double> mole_fractions_of(const gas::GasState& gas, const std::vector<std::string>& names) {
    OrderedMap<double> fractions;
    for (const auto& name : names) fractions.set(name, gas.all_species.contains(name) ? gas.all_species.at(name) : 0.0);
    return fractions;
}

}  // namespace

void MovingSectionalModel::apply_lower_bounds(std::vector<double>& state) const {
    const std::size_t live = live_sections();
    for (std::size_t i = 0; i < live; ++i) {
        if (state[i] < 1e-15) state[i] = 1e-15;
        if (state[int3num + i] < 1e-35) state[int3num + i] = 1e-35;
    }
}

std::size_t MovingSectionalModel::live_sections() const {
    if (isec < 0 || isec > intnum) throw InvalidValue("isec > intnum");
    return static_cast<std::size_t>(isec);
}

void MovingSectionalModel::update_section_walls() {
    const std::size_t sections = n();
    const std::size_t live = live_sections();
    for (std::size_t i = 0; i < sections; ++i) x[i] = y[sections + i];
    const std::size_t needed = std::max<std::size_t>(2, live + 1);
    if (v.size() < needed || sections == 0)
        throw OutOfRange("v holds " + std::to_string(v.size()) + " walls, " + std::to_string(needed) + " needed");
    for (std::size_t i = 1; i < live; ++i) v[i] = (y[sections + i - 1] + y[sections + i]) / 2.0;
    v[0] = bin_spacing * y[sections] - v[1];
    // With no live section the wall below the top one is the last wall (index -1).
    const std::size_t below = live == 0 ? v.size() - 1 : live - 1;
    v[live] = bin_spacing * y[sections + live - 1] - v[below];
}

void MovingSectionalModel::run_particle_temperature(double t, double tend, const std::vector<double>& state) {
    const std::size_t live = live_sections();
    temp_NP_previous = counter >= 2 ? temp_NP_sections : std::vector<double>(live, temp);
    const gas::GasState& current = *AA12;

    submodels::ParticleTemperatureInputs in;
    in.spec_heat_np = cv / avog;
    in.spec_heat_gas = current.properties.cp_mole.at(0) / 1000 / avog;
    in.surf_tension_np = sigma_NP;
    in.emissivity_np = epsilon_NP;
    in.temp_np_previous = temp_NP_previous;
    in.temp_gas = temp;
    in.taus = ts;
    in.particle_info = state;
    in.area_np_sph = area_fused;
    in.xmwp_gas = current.properties.mean_molecular_weight.at(0) / avog;
    in.n_p = xnpr;
    in.reactor_pressure = total_pressure;
    in.intnum = n();
    in.isec = isec;
    in.flow_velocity = vel;
    // The residence-time interval times the velocity, as the sub-model receives it.
    in.x_start = t / vel * vel;
    in.x_end = tend / vel * vel;
    auto result = submodels::particle_temperature(
        in, submodels::particle_temperature_scheme(numerical_approach_NP_temp_solver));
    temp_NP_sections = std::move(result.temperatures);
    temp_gas_saved.push_back(temp);
    temp_NP_saved.push_back(temp_NP_sections);
}

SolveResult MovingSectionalModel::solve(double rtol, double atol) {
    const double tmax = reactor_length;
    // An infinite reactor would march (and grow the histories) without end.
    if (std::isinf(tmax) && tmax > 0) throw InvalidValue("reactor_length must be finite, got inf");
    {
        // Count the outer steps the reactor needs (same arithmetic as the march).
        long steps = 0;
        for (double position = 0.0; position < tmax; position = outer_step_end(position))
            if (++steps > kMaxOuterSteps)
                throw InvalidValue("reactor_length = " + gas::number_text(tmax) + " m needs more than " +
                                 std::to_string(kMaxOuterSteps) +
                                 " outer steps, the bound on one run (about 400 m of reactor)");
    }
    check_physical_parameters();
    update_reactor_volume();
    derive_inlet_state();
    initialize_conditions();
    const std::size_t width = y.size();

    std::vector<double> y0 = y;
    simulation_time.assign(1, 0.0);
    y_saved.assign(1, y0);
    {
        const std::size_t live = live_sections();
        for (std::size_t i = 0; i < live; ++i)
            if (y0[i] < 1e-15) y0[i] = 1e-15;
    }

    SolveResult result;
    result.width = width;
    counter = 0;
    rhs_evaluations = 0;
    integration_failures.clear();
    gas_composition_saved.clear();
    std::vector<std::string> gas_species;
    double t = 0.0;

    numerics::OdeOptions options;
    options.rtol = rtol;
    options.atol = atol;
    options.keep_steps = false;
    const numerics::OdeRhs rhs = [this](double position, std::span<const double> state, std::span<double> dydt) {
        ++rhs_evaluations;
        fcn(position, state);
        std::copy(yp.begin(), yp.end(), dydt.begin());
    };

    while (t < tmax) {
        poll_interrupt();  // a long run stays stoppable (Ctrl-C) between outer steps
        ++counter;
        const double tend = outer_step_end(t);
        tend_current = tend;
        temp_vel(t);
        const double start_vel = vel;

        ts_saved.push_back(ts);
        xdf_saved.push_back(xdf);

        if (counter == 1) {
            AA12 = run_gas_step(vel, temp, tend - t, gas_initial_composition);
            gas_initial_composition = AA12->all_species;
            AA12_initial = AA12->all_species;
            gas_species = main_gas_species(*AA12, feedstock_gas_name_dominant_current);
        }
        kn_saved.push_back({tend, xkn1});
        dp_saved.push_back({tend, xdp});
        dp_dp = xdp;

        const numerics::OdeResult solution = numerics::solve_ivp_lsoda(rhs, t, tend, y0, options);
        saved_xdpr = xdp;

        if (temp < 570 && tend > 0.4) {
            print_line("Stopping simulation: Temperature (" + fmt_fixed(temp, 2) + "K) < 400K and time (" +
                       fmt_fixed(tend, 4) + "s) > 4s");
            break;
        }

        // The march goes on from whatever state the integrator reached, but the
        // step is remembered so the run does not pass for a sound one.
        if (!solution.success) integration_failures.push_back({counter, t, solution.message});

        const auto end_state = solution.final_state();
        y0.assign(end_state.begin(), end_state.end());
        apply_lower_bounds(y0);
        result.time_points.push_back(tend);
        result.solutions.insert(result.solutions.end(), y0.begin(), y0.end());

        const std::size_t live = live_sections();
        // xdp[:isec]: a slice never reads past the array.
        const std::size_t sliced = std::min(live, xdp.size());
        area_fused.resize(sliced);
        for (std::size_t i = 0; i < sliced; ++i) area_fused[i] = vpi * (xdp[i] * xdp[i]);
        for (double& d : xdp) d = std::max(d, dp_initial_premade);

        if (sinterin_energy_release_activated) run_particle_temperature(t, tend, y0);

        xdp_saved.push_back(xdp);
        xnpr_saved.push_back(xnpr);

        y = y0;
        simulation_time.push_back(t);
        update_section_walls();
        if (regrid_condition == "Moving") regrid(y);

        current_total_N = 0;
        for (std::size_t i = 0; i < live; ++i) current_total_N += y0[i];

        // Geometric mean of the positive primary diameters.
        double log_sum = 0;
        std::size_t positive = 0;
        for (std::size_t i = 0; i < std::min(live, xdp.size()); ++i)
            if (xdp[i] > 0) {
                log_sum += std::log(xdp[i]);
                ++positive;
            }
        avg_dp = positive ? std::exp(log_sum / static_cast<double>(positive)) : dp_initial_premade;

        if (surface_kinetics_solver_activated) {
            if (counter >= 2) couple_surface_kinetics(t, tend, start_vel);
            update_gas_and_carbon();
        }

        calculate_xdp_gp();
        xdp_updated = xdp;
        xdp_gp_saved.push_back(xdp_gp);
        // The gas as the step leaves it (advanced by the surface coupling and
        // corrected by the carbon bookkeeping when surface kinetics are on).
        if (AA12) gas_composition_saved.push_back(mole_fractions_of(*AA12, gas_species));

        if (tend * 100 > 0.3) {
            const double remembered_temp = temp, remembered_xmjet = xmjet;
            temp_vel(tend);
            tempjo = temp;
            xmjeto = xmjet;
            temp = remembered_temp;
            xmjet = remembered_xmjet;
        }
        std::fill(betafu.begin(), betafu.end(), 0.0);

        y_saved.push_back(y);
        y0 = y;
        t = tend;
    }
    return result;
}

std::string MovingSectionalModel::integration_failure_summary() const {
    if (integration_failures.empty()) return "";
    const auto& first = integration_failures.front();
    return std::to_string(integration_failures.size()) + " of " + std::to_string(counter) +
           " outer steps did not integrate to their end; the first is step " + std::to_string(first.step) + " at " +
           py_repr(first.position) + " m: " + first.message +
           " The run continued from the states the integrator returned (see integration_failures).";
}

}  // namespace velmora::model
