// Second half of the surface step: what the particles took from and gave to the
// gas goes back into the composition, the carbon grown in the step is spread
// over the sections by surface area, and each section's carbon is split into
// dissolved carbon, nanotubes and graphene layers.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "common/errors.hpp"
#include "model/moving_sectional_model.hpp"
#include "submodels/carbon_saturation.hpp"

namespace velmora::model {

namespace {

// The first `count` entries of an ordered map (IndexError when it holds fewer).
template <class V>
std::vector<std::pair<std::string, V>> leading(const OrderedMap<V>& map, std::size_t count) {
    if (map.size() < count) throw OutOfRange("list index out of range");
    std::vector<std::pair<std::string, V>> out;
    auto it = map.begin();
    for (std::size_t k = 0; k < count; ++k, ++it) out.emplace_back(it->first, it->second);
    return out;
}

double entry(const std::vector<double>& values, long index) {
    const long size = static_cast<long>(values.size());
    const long resolved = index < 0 ? index + size : index;
    if (resolved < 0 || resolved >= size) throw OutOfRange("index " + std::to_string(index) + " is out of bounds");
    return values[static_cast<std::size_t>(resolved)];
}

// int() of a float: truncation toward zero; refuses what has no integer value
// (std::overflow_error reaches the host as OverflowError).
double truncate_to_int(double value) {
    if (std::isnan(value)) throw InvalidValue("cannot convert float NaN to integer");
    if (std::isinf(value)) throw std::overflow_error("cannot convert float infinity to integer");
    return std::trunc(value);
}

}  // namespace

void MovingSectionalModel::feed_back_into_gas() {
    gas::GasState& state = *AA12;
    auto& composition = state.all_species;
    const auto& fv = final_values;
    const auto& fp = final_value_previous;

    if (counter == 2) {
        // Assignment into the composition adds a species it does not hold yet.
        for (const auto& [species, atoms] : leading(state.carbon_atoms_count, 3)) {
            (void)atoms;
            composition.set(species, gas_initial_composition.at(species));
        }
        composition.set("H2", gas_initial_composition.at("H2"));
    }
    if (counter < 3) return;

    const auto species = leading(state.carbon_atoms_count, 5);
    const double C0 = static_cast<double>(species[0].second), C1 = static_cast<double>(species[1].second),
                 C2 = static_cast<double>(species[2].second);
    const double released =
        std::abs((entry(fv, 1) + entry(fv, 4) + entry(fv, 5)) - (entry(fp, 1) + entry(fp, 4) + entry(fp, 5))) *
        total_N;
    const double poisoning = std::abs(entry(fv, 2) - entry(fp, 2)) * total_N;
    double attached = std::abs(entry(fv, 3) - entry(fp, 3)) * total_N;
    double methane = std::abs(entry(fv, 6) - entry(fp, 6)) * total_N;
    const double hydrogen = 2 * methane;

    // The surface quantities are array floats: a zero atom count gives inf or nan
    // here, which the conversion to an integer then refuses.
    const double feedstock = truncate_to_int(released / C0) * rhog / avog;
    const double byproduct1 = truncate_to_int(C1 * poisoning / (C1 + C2)) * rhog / avog;
    const double byproduct2 = truncate_to_int(C2 * poisoning / (C1 + C2)) * rhog / avog;
    attached = truncate_to_int(std::abs(attached - hydrogen)) * rhog / avog;
    methane = checked_div(truncate_to_int(methane), reactor_volume) * rhog / avog;

    auto mole_fraction = [&](double amount) { return amount * 8.314 * temp / total_pressure; };
    const double xF = mole_fraction(feedstock), xB1 = mole_fraction(byproduct1), xB2 = mole_fraction(byproduct2),
                 xM = mole_fraction(methane);

    double& f0 = composition.at(species[0].first);
    f0 = std::max(f0 - xF, 0.0);
    double& f1 = composition.at(species[1].first);
    f1 = std::max(std::abs(f1 - xB1), 0.0);
    double& f2 = composition.at(species[2].first);
    f2 = std::max(std::abs(f2 - xB2), 0.0);
    double& h2 = composition.at("H2");
    h2 = std::max(h2 - (2 * xM + molarfraction_eq_H2_entered_total), 0.0);
    double& ch4 = composition.at("CH4");
    ch4 = std::abs(ch4 + xM);

    const double initial = AA12_initial.at(species[0].first) * C0 + AA12_initial.at(species[1].first) * C1 +
                           AA12_initial.at(species[2].first) * C2;
    double current = 0;
    for (const auto& [name, atoms] : species) current += composition.at(name) * static_cast<double>(atoms);
    carbon_mass_balance = current / initial;
    carbon_mass_balance_saved.push_back(carbon_mass_balance);
}

void MovingSectionalModel::distribute_grown_carbon() {
    const std::size_t sections = n();
    const std::size_t live = live_sections();
    const auto& fv = final_values;
    const auto& fp = final_value_previous;

    total_carbon_added = entry(fv, -2) - entry(fp, -2);
    lengthththt = lengthththt + 1000 * total_carbon_added / 7000000;
    initial_conditions_surf_kin_current.assign(fv.begin() + 1, fv.end());
    final_value_previous = fv;

    double area = 0, agglomerates = 0;
    for (std::size_t i = 0; i < live; ++i)
        if (y[i] > 1) {
            area += y[2 * sections + i];
            agglomerates += y[i];
        }
    total_area = area;
    // No section above one agglomerate: nothing to spread the carbon over this step.
    if (agglomerates == 0 || !(total_area > 0)) return;
    const double area_per_agglomerate = area / agglomerates;
    for (std::size_t i = 0; i < live; ++i)
        if (y[i] > 1) y[3 * sections + i] += total_carbon_added * y[2 * sections + i] / area_per_agglomerate;
}

void MovingSectionalModel::update_carbon_structure() {
    const std::size_t sections = n();
    const std::size_t live = live_sections();
    if (xdp.size() < live || xnpr.size() < live)
        throw OutOfRange("section arrays are shorter than the live sections");
    if (counter == 1) {
        for (std::size_t i = 0; i < live; ++i) carbon_data[4 * sections + i] = y[3 * sections + i] / y[i];
        return;
    }
    const double pi = std::numbers::pi;
    const double flag = flag_id_mat ? static_cast<double>(*flag_id_mat) : std::nan("");
    for (std::size_t i = 0; i < live; ++i) {
        const double carbon_per_agglomerate = y[3 * sections + i] / y[i];
        atom_per_PP = vpi * std::pow(xdp[i], 3) / 6 / volume_unitcell * 2;
        const double metal_atoms = atom_per_PP * xnpr[i];
        const auto saturation = submodels::carbon_sat(metal_atoms, carbon_per_agglomerate, temp, xdp[i], flag, kb);
        carbon_data[4 * sections + i] = saturation.carbon_inside;
        const double outside = carbon_per_agglomerate - carbon_data[4 * sections + i];
        carbon_data[i] = fraction_cnt_gp * outside;
        carbon_data[sections + i] = 1.992e-23 / pi / gp_thickness / xdp[i] / (rho_cnt * 1000) * 1.6 /
                                    wall_number_section[i] * carbon_data[i];
        carbon_data[2 * sections + i] = (1 - fraction_cnt_gp) * outside;
        carbon_data[3 * sections + i] = 1.992e-23 / pi / gp_thickness / 1800000 * carbon_data[2 * sections + i];
        carbon_data[5 * sections + i] = saturation.cnt_cnd;
        carbon_condition_previou[i] = saturation.cnt_cnd;
        x1_activator = 1;

        xdm[i] = xdp[i] * std::pow(xnpr[i], 0.45);
        // Near-spherical agglomerates take a compact sphere's gyration diameter.
        xdg = xnpr[i] > 1.8 ? xdm[i] / (std::pow(xnpr[i], -0.2) + 0.4) : xdm[i] * std::sqrt(3.0 / 5.0);
        if (collision_type == "Auto") {
            const double cnt = calculate_cnt_gyration_diameter(xdp[i], rhop, rho_cnt, carbon_data[sections + i] * 1e-9,
                                                               gp_thickness, xnpr[i], CNT_wall_number);
            x1_previous[i] = std::max({xdm[i], xdg, cnt});
        } else if (collision_type == "dm&dg") {
            x1_previous[i] = std::max(xdg, xdm[i]);
        }
    }
    xdm_saved.push_back(xdm);
    carbon_data_saved.push_back(carbon_data);

    const auto& fv = final_values;
    double grown = 0, other = 0;
    for (long k = 1; k < 6; ++k) grown += entry(fv, k);
    for (long k = 1; k < 5; ++k) other += entry(fv, k);
    const double D = grown * current_total_N;
    double S = 0;
    for (std::size_t i = 0; i < sections; ++i) S += carbon_data[4 * sections + i];
    if (D == 0) {
        // Nothing grew: no fractions to form.
        carbon_composition1 = carbon_composition2 = carbon_composition3 = carbon_composition4 = 0;
    } else {
        carbon_composition1 = (fraction_cnt_gp * entry(fv, 5) * current_total_N - S) / D;
        carbon_composition2 = ((1 - fraction_cnt_gp) * entry(fv, 5) * current_total_N - S) / D;
        carbon_composition3 = S / D;
        carbon_composition4 = other * current_total_N / D;
    }
    carbon_composition = CarbonComposition{carbon_composition1, carbon_composition2, carbon_composition3,
                                           carbon_composition4};
    carbon_composition_saved.push_back(*carbon_composition);
}

void MovingSectionalModel::update_gas_and_carbon() {
    if (!AA12) throw missing_attribute(kClassName, "AA12");
    feed_back_into_gas();
    if (counter >= 2) distribute_grown_carbon();
    update_carbon_structure();
}

}  // namespace velmora::model
