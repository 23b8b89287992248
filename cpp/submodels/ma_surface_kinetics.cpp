#include "submodels/ma_surface_kinetics.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/errors.hpp"
#include "common/output.hpp"
#include "common/positive_quantity.hpp"
#include "gas/step_limits.hpp"
#include "submodels/species_mass.hpp"

namespace velmora::submodels {

namespace {

constexpr double kPi = std::numbers::pi;

double checked_sqrt(double x) {
    if (x < 0.0) throw InvalidValue("math domain error");
    return std::sqrt(x);
}

}  // namespace

int carbon_number_from_formula(std::string_view formula) {
    if (formula.size() < 2) throw OutOfRange("string index out of range");
    const char c = formula[1];
    if (c < '0' || c > '9')
        throw InvalidValue(std::string("invalid literal for int() with base 10: '") + c + "'");
    return c - '0';
}

void MaSurfaceKinetics::set_dp(double dp_current) {
    dp = dp_current;
    if (dp < 0) {
        print_line("internal warning: Negative dp value");
        return;
    }
    const double area = 3.14 * (dp * dp) * parameters.npr;
    NP_area = area;
    rho_particle = checked_div(1.0, area);
}

void MaSurfaceKinetics::store_result(std::size_t i, double value) {
    results.*(kMaResultFields[i].member) = value;
    results_present |= (1u << i);
}

double MaSurfaceKinetics::main_calculate(const MaGasLookup& gas) {
    const MaParameters& p = parameters;
    const MaResults& r = results;
    // Each step stores its value before the next one may fail; the fields are
    // stored strictly in table order.
    std::size_t next = 0;
    auto store = [&](double value) { store_result(next++, value); };

    // The temperature divides the number densities and the diffusion
    // activation, the layer spacing divides the wall count: 0, a subnormal, a
    // negative value or a non-number can only give NaN/inf.
    require_positive_normal(p.temp_current, "temp_current", "a finite temperature above 0 K");
    require_positive_normal(p.gp_thickness, "gp_thickness", "a finite graphene layer spacing above 0 m");

    const double product_mass = molecule_mass_kg(p.main_product_species);
    const double n_C = carbon_number_from_formula(gas.dominant_carbon_species());
    const double T = p.temp_current;

    store(kPi * p.npr * (dp * dp) / 2.0);  // particle_area
    store((6.28 * (H_diameter * H_diameter) + 6.28 * (C_diameter * C_diameter)) / 4.0);
    store((3.14 * n_C * (H_diameter * H_diameter) + 3.14 * n_C * (C_diameter * C_diameter)) / 4.0);
    store(gas.mole_fraction(p.main_product_species) * p.reactor_init_press);

    // Sticking coefficient: rises up to 973 K, falls above.
    store(T <= 973 ? 0.006382123 * std::exp(0.01113002 * (T - 823.81))
                   : 0.03461503 * std::exp(-0.03268908 * (T - 973)));

    const double pressure_sum = p.P_FEEDSTOCK_c2h2 + r.P_FEEDSTOCK_dominant_product;
    const double w1 = checked_div(p.P_FEEDSTOCK_c2h2, pressure_sum);
    const double w2 = checked_div(r.P_FEEDSTOCK_dominant_product, pressure_sum);
    const double uncovered = 1.0 - std::min(1.0 - p.fra_cnt_gp, p.gp_cove_rati);
    store(checked_div(uncovered * r.particle_area,
                      w1 * r.molecule_area_c2h2 + w2 * r.molecule_area_dominant_product) /
          2.0 / 1.8);  // site_per_particle
    if (!NP_area) throw missing_attribute(kClassName, "NP_area");
    store(checked_div(r.site_per_particle, *NP_area));  // rho_0

    store(checked_div(NAVA * p.P_FEEDSTOCK_c2h2, R_gas * T));                  // n_c2h2
    store(checked_div(NAVA * r.P_FEEDSTOCK_dominant_product, R_gas * T));      // n_dominant_product
    // A temperature far below any gas (1e-300 K) puts more molecules in a cubic
    // metre than a double holds; the uptake would be inf * 0 = NaN.
    if (!std::isfinite(r.n_c2h2) || !std::isfinite(r.n_dominant_product))
        throw InvalidValue("temp_current = " + gas::number_text(T) + " K with P_FEEDSTOCK_c2h2 = " +
                           gas::number_text(p.P_FEEDSTOCK_c2h2) + " Pa gives a gas number density beyond the "
                           "float range (n_c2h2 = " + gas::number_text(r.n_c2h2) + " 1/m^3)");

    mass_C2H2 = 4.324e-26;
    store(mass_C2H2);
    store(kPi * ((dp / 2.0) * (dp / 2.0)));  // projected_area_per_particle
    store(1.0);                              // A_star

    store(checked_sqrt(checked_div(R_gas * T, 2.0 * kPi * mass_C2H2 * NAVA)));    // v_bar1
    store(r.v_bar1 * r.gamma * checked_div(r.A_star, r.rho_0));                  // kf1
    store(checked_sqrt(checked_div(R_gas * T, 2.0 * kPi * product_mass * NAVA)));  // v_bar2
    store(r.v_bar2 * r.gamma * checked_div(r.A_star, r.rho_0));                  // kf2

    store(5e-5);       // D0
    store(dp / 2.0);   // R
    store(2.403e-19);  // E_act, J
    store(checked_div(r.D0, r.R * r.R) * std::exp(checked_div(-r.E_act, kb * T)));  // k3

    // Free-site fraction where adsorption and diffusion into the particle balance.
    store(checked_div(r.k3 * r.rho_0, r.kf1 * r.n_c2h2 + r.kf2 * r.n_dominant_product + r.k3));
    store(r.kf1 * r.n_c2h2 * r.O_ss);              // q_C2H2
    store(r.kf2 * r.n_dominant_product * r.O_ss);  // q_dominant_product

    store(dp / 1.6);          // d_outer
    store(r.d_outer / 2.0);   // d_inner
    store(2.0 * r.q_C2H2 + n_C * r.q_dominant_product);                   // carbon_atoms_flux
    store(checked_div((r.d_outer - r.d_inner) / 2.0, p.gp_thickness));  // CNT_wall_number
    return r.carbon_atoms_flux;
}

double MaSurfaceKinetics::main_calculate(std::string_view dominant_carbon_species,
                                         const OrderedMap<double>& mole_fractions) {
    MaGasLookup gas{
        [&] { return std::string(dominant_carbon_species); },
        [&](const std::string& name) { return mole_fractions.at(name); },
    };
    return main_calculate(gas);
}

}  // namespace velmora::submodels
