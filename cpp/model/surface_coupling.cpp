// Surface kinetics of one outer step: a fresh gas step over the step, the H2
// flux onto the particles, one surface-growth model per live section, the CNT
// wall numbers, the per-particle growth quantities and the H2 taken up.
#include <cmath>
#include <numeric>

#include "common/errors.hpp"
#include "model/moving_sectional_model.hpp"
#include "submodels/ma_surface_kinetics.hpp"
#include "submodels/puretzky_surface_kinetics.hpp"

namespace velmora::model {

namespace {

const std::string& key_at(const OrderedMap<double>& map, std::size_t index) {
    if (index >= map.size()) throw OutOfRange("list index out of range");
    return (map.begin() + static_cast<std::ptrdiff_t>(index))->first;
}

double value_at(const OrderedMap<double>& map, std::size_t index) {
    if (index >= map.size()) throw OutOfRange("list index out of range");
    return (map.begin() + static_cast<std::ptrdiff_t>(index))->second;
}

}  // namespace

void MovingSectionalModel::update_section_averages() {
    const std::size_t sections = n();
    const std::size_t live = live_sections();
    double weighted_walls = 0, weighted_dm = 0, weighted_length = 0, number = 0;
    for (std::size_t i = 0; i < live; ++i) {
        if (!(y[i] > 1)) continue;
        weighted_walls += wall_number_section[i] * y[i];
        weighted_dm += xdm[i] * y[i];
        weighted_length += carbon_data[sections + i] * y[i];
        number += y[i];
    }
    // No section holds more than one agglomerate: the averages keep their last values.
    if (number == 0) return;
    wall_number_avg = weighted_walls / number;
    N_avg = number;
    dm_avg = weighted_dm / number;
    L_cnt_avg = weighted_length / number;
}

void MovingSectionalModel::couple_surface_kinetics(double t, double tend, double start_vel) {
    const std::size_t sections = n();
    if (!AA12) throw missing_attribute(kClassName, "AA12");

    gas_initial_composition = AA12->all_species;
    AA12 = run_gas_step(vel, temp, tend - t, gas_initial_composition);
    const gas::GasState& state = *AA12;
    // Read after the gas step: the section count in force is the one the sections are run with.
    const std::size_t live = live_sections();

    diff_H2_in_NP = A_H2_diffusion * std::exp(-Ea_H2_diffusion / 8.314 / temp);
    H2_cons_current = state.all_species.at("H2") * total_pressure * 6.022e23 / (8.314 * temp);
    current_H2_flux_coeff = diff_H2_in_NP * H2_STICKING_PROBABILITY * H2_cons_current;
    current_timestep = (tend - t) / vel;
    H2_cons_previous = H2_cons_current;

    auto number_density = [&](double fraction) { return fraction * total_pressure * 6.022e23 / (8.314 * temp); };
    const double n0 = number_density(value_at(state.largest_C_species, 0));
    const double np1 = number_density(value_at(state.largest_C_species, 1));
    const double np2 = number_density(value_at(state.largest_C_species, 2));

    if (xdp.size() < live || xnpr.size() < live)
        throw OutOfRange("section arrays are shorter than the live sections");
    avg_dp = live ? std::accumulate(xdp.begin(), xdp.begin() + static_cast<std::ptrdiff_t>(live), 0.0) /
                        static_cast<double>(live)
                  : std::nan("");
    const double temp_celsius = temp - 273.15;
    total_N = 0;
    for (std::size_t i = 0; i < live; ++i)
        if (y[i] > 1) total_N += y[i];
    H2_entered_total = 0;

    // The per-section results have one row per possible live section (intnum - 2).
    const std::size_t rows = sections >= 2 ? sections - 2 : 0;
    auto check_row = [rows](std::size_t j) {
        if (j >= rows)
            throw OutOfRange("index " + std::to_string(j) + " is out of bounds for axis 0 with size " +
                             std::to_string(rows));
    };

    if (surface_kinetics_type == submodels::PuretzkySurfaceKinetics::kClassName) {
        final_values_section.assign(rows * 7, 0.0);
        submodels::PuretzkyParameters base;
        base.carb_strc_surface = carb_struct_enabled;
        base.carb_deactiv = deactivation_enabled;
        base.initial_conditions = initial_conditions_surf_kin_current;
        // P_FEEDSTOCK is looked up for every section's model (so not at all without sections).
        if (live > 0) (void)inlet_initial_partial_pressure.at(feedstock_gas_name_dominant_current);
        base.feedstock_gas_name = key_at(state.largest_C_species, 0);
        base.main_product_species.clear();
        for (std::size_t k = 1; k < state.largest_C_species.size(); ++k)
            base.main_product_species.push_back(key_at(state.largest_C_species, k));
        base.reactor_volume = reactor_volume;
        base.n0 = n0;
        base.np1 = np1;
        base.np2 = np2;
        base.gas_NP_time_considered = gas_NP_time_considered;
        base.H2_current_partial_pressure = state.all_species.at("H2") * reactor_initial_pressure;
        base.fra_cnt_gp = fraction_cnt_gp;
        base.gp_cove_rati = gp_coverage_ratio;
        base.current_H2_flux_coeff = current_H2_flux_coeff;
        // The surface models run over the step's residence-time interval, taken with
        // the velocity at the step's start; `vel` here is whatever the last
        // right-hand-side evaluation left, which differs under a temperature profile.
        const double span_start = t / start_vel, span_end = tend / start_vel;
        const double temperatures[1] = {temp_celsius};

        for (std::size_t j = 0; j < live; ++j) {
            submodels::PuretzkyParameters parameters = base;
            parameters.npr = xnpr[j];
            submodels::PuretzkySurfaceKinetics surface(std::move(parameters));
            surface.set_dp(xdp[j]);
            auto runs = surface.run_surface_kinetics_simulation(temperatures, span_start, span_end, {}, false);
            const auto final = surface.get_final_values(runs);

            wall_number_section[j] =
                y[j] > 1 ? final.values[1] / y[2 * sections + j] * y[j] / alpha_adjust / surf_dens_monolayer : 0;
            if (wall_number_section[j] < 1) wall_number_section[j] = 1;
            update_section_averages();
            check_row(j);
            for (std::size_t k = 0; k < 7; ++k) final_values_section[j * 7 + k] = std::abs(final.values[k]) * y[j];
            // Hydrogen taken up by section j in this step, mol per m^3 of gas.
            const double section_flux = final.current_H2_flux * current_timestep * y[j];
            H2_entered_total += section_flux / avog * rhog;
        }
        if (total_N > 0) {
            for (std::size_t k = 0; k < 7; ++k) {
                double column = 0;
                for (std::size_t j = 0; j < rows; ++j) column += final_values_section[j * 7 + k];
                final_values[k] = column / total_N;
            }
        }
    } else if (surface_kinetics_type == submodels::MaSurfaceKinetics::kClassName) {
        final_values_section.assign(rows, 0.0);
        submodels::MaParameters base;
        const auto& carbon_counts = state.carbon_atoms_count;
        // The gas lookups belong to every section's model (so none happen without sections).
        if (live > 0) {
            if (carbon_counts.size() < 2) throw OutOfRange("list index out of range");
            base.main_product_species = (carbon_counts.begin() + 1)->first;
            base.P_FEEDSTOCK_c2h2 = state.all_species.at("C2H2") * reactor_initial_pressure;
            (void)state.all_species.at("C4H4");  // P_FEEDSTOCK_c4h4 must exist
        }
        base.temp_current = temp;
        base.reactor_init_press = reactor_initial_pressure;
        base.fra_cnt_gp = fraction_cnt_gp;
        base.gp_cove_rati = gp_coverage_ratio;
        base.gp_thickness = gp_thickness;
        const std::string dominant = carbon_counts.empty() ? std::string() : carbon_counts.begin()->first;

        for (std::size_t j = 0; j < live; ++j) {
            submodels::MaParameters parameters = base;
            parameters.npr = xnpr[j];
            submodels::MaSurfaceKinetics surface(std::move(parameters));
            surface.set_dp(xdp[j]);
            if (y[j] <= 1e-35) {
                growth_rate_per_NP_area = 0;
                check_row(j);
                final_values_section[j] = 0;
                continue;
            }
            const double rate = surface.main_calculate(dominant, state.all_species);
            wall_number_section[j] =
                (y[j] > 1 && carbon_condition_previou.at(j) == 1) ? surface.results.CNT_wall_number : 0;
            if (wall_number_section[j] < 1) wall_number_section[j] = 1;
            // Without any section above one agglomerate there is nothing to normalise by.
            growth_rate_per_NP_area = total_N > 0 ? std::abs(rate) * current_timestep * y[j] / total_N : 0.0;
            check_row(j);
            final_values_section[j] = growth_rate_per_NP_area * y[2 * sections + j] / y[j];
        }
        summed_value = std::accumulate(final_values_section.begin(), final_values_section.end(), 0.0);
        const double increments[7] = {1e-35, 1e-35, 1e-35, 1e-35, 1e-35, summed_value, 1e-35};
        for (std::size_t k = 0; k < 7; ++k) final_values.at(k) += increments[k];
    }

    wall_number_section_saved.push_back(wall_number_section);
    P_eq_H2_entered_total = H2_entered_total * 8.314 * temp;
    molarfraction_eq_H2_entered_total = P_eq_H2_entered_total / total_pressure;
}

}  // namespace velmora::model
