// Steady-state carbon delivery to one catalyst particle after Ma et al. (2005):
// the feedstock (C2H2) and one dominant gas-phase product adsorb on free sites
// with a temperature-dependent sticking coefficient, decompose, and their
// carbon diffuses into the particle, freeing the site again. Closed form; no
// integration. Also gives the geometry of the tube the particle would grow.
//
// Use per section and step: construct, set_dp(diameter), main_calculate(gas),
// then read CNT_wall_number (or any other result field).
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "common/ordered_map.hpp"
#include "submodels/class_parameters.hpp"

namespace velmora::submodels {

struct MaParameters {
    std::string main_product_species = "C4H4";  // formula of the dominant product
    double npr = 1;                              // primary particles of the particle
    double temp_current = 700;                   // K
    double P_FEEDSTOCK_c2h2 = 20000.645;         // Pa
    double reactor_init_press = 101000;          // Pa
    double fra_cnt_gp = 0.7;                     // surface fraction growing nanotube
    double gp_cove_rati = 0;                     // graphitic coverage ratio
    double gp_thickness = 10;                    // wall spacing used for the wall count
};

// How main_calculate reaches the gas composition. The lookups run at the point
// of the calculation that needs them, so a missing entry fails in that order.
struct MaGasLookup {
    // First key of the carbon-count table (the dominant carbon species, e.g. "C2H2").
    std::function<std::string()> dominant_carbon_species;
    // Mole fraction of a species by name.
    std::function<double(const std::string&)> mole_fraction;
};

// Everything main_calculate stores, in the order it stores it.
struct MaResults {
    double particle_area = 0, molecule_area_c2h2 = 0, molecule_area_dominant_product = 0,
           P_FEEDSTOCK_dominant_product = 0, gamma = 0, site_per_particle = 0, rho_0 = 0,
           n_c2h2 = 0, n_dominant_product = 0, mass_C2H2 = 0, projected_area_per_particle = 0,
           A_star = 0, v_bar1 = 0, kf1 = 0, v_bar2 = 0, kf2 = 0, D0 = 0, R = 0, E_act = 0, k3 = 0,
           O_ss = 0, q_C2H2 = 0, q_dominant_product = 0, d_outer = 0, d_inner = 0,
           carbon_atoms_flux = 0, CNT_wall_number = 0;
};

class MaSurfaceKinetics {
public:
    static constexpr const char* kClassName = "Surface_Kinetics_Ma_etal_2005";

    explicit MaSurfaceKinetics(MaParameters parameters = {}) : parameters(std::move(parameters)) {}

    // The `_dp` setter: dp, then (for dp >= 0) NP_area and rho_particle.
    void set_dp(double dp_current);

    // Carbon atoms per second delivered to the particle. Fills `results`.
    double main_calculate(const MaGasLookup& gas);
    // For callers holding the gas result as maps: the first species of the
    // carbon-count table and the mole fractions by name (KeyError when the
    // product species is missing).
    double main_calculate(std::string_view dominant_carbon_species,
                          const OrderedMap<double>& mole_fractions);

    MaParameters parameters;

    double dp = 1e-10;  // m
    double NAVA = 6.022e23;
    double kb = 1.38065e-23;
    double R_gas = 8.314;
    double H_diameter = 6.6e-11;
    double C_diameter = 1.54e-10;
    double mass_C2H2 = 4.324e-26;  // kg per molecule; reset by main_calculate
    // Kept for callers only.
    double volume_carbon_atom = 1.91e-30;  // m^3
    double O_diameter = 1.46e-10;
    double N_diameter = 1.48e-10;
    double mass_C4H4 = 8.66e-26;  // kg per molecule

    std::optional<double> NP_area;       // m^2, set by set_dp
    std::optional<double> rho_particle;  // 1/m^2, set by set_dp

    MaResults results;
    // Bit i set once field i of kResultFields has been stored. A failing call
    // stops part-way and earlier calls' values stay, as attributes would.
    std::uint32_t results_present = 0;
    bool has_result(std::size_t i) const { return (results_present >> i) & 1u; }
    void store_result(std::size_t i, double value);
};

struct MaResultField {
    const char* name;
    double MaResults::*member;
};

// The stored results in the order main_calculate assigns them.
inline constexpr std::array<MaResultField, 27> kMaResultFields{{
    {"particle_area", &MaResults::particle_area},
    {"molecule_area_c2h2", &MaResults::molecule_area_c2h2},
    {"molecule_area_dominant_product", &MaResults::molecule_area_dominant_product},
    {"P_FEEDSTOCK_dominant_product", &MaResults::P_FEEDSTOCK_dominant_product},
    {"gamma", &MaResults::gamma},
    {"site_per_particle", &MaResults::site_per_particle},
    {"rho_0", &MaResults::rho_0},
    {"n_c2h2", &MaResults::n_c2h2},
    {"n_dominant_product", &MaResults::n_dominant_product},
    {"mass_C2H2", &MaResults::mass_C2H2},
    {"projected_area_per_particle", &MaResults::projected_area_per_particle},
    {"A_star", &MaResults::A_star},
    {"v_bar1", &MaResults::v_bar1},
    {"kf1", &MaResults::kf1},
    {"v_bar2", &MaResults::v_bar2},
    {"kf2", &MaResults::kf2},
    {"D0", &MaResults::D0},
    {"R", &MaResults::R},
    {"E_act", &MaResults::E_act},
    {"k3", &MaResults::k3},
    {"O_ss", &MaResults::O_ss},
    {"q_C2H2", &MaResults::q_C2H2},
    {"q_dominant_product", &MaResults::q_dominant_product},
    {"d_outer", &MaResults::d_outer},
    {"d_inner", &MaResults::d_inner},
    {"carbon_atoms_flux", &MaResults::carbon_atoms_flux},
    {"CNT_wall_number", &MaResults::CNT_wall_number},
}};

// The class's constructor, in call order. The dominant product's formula is
// read from the kept object at each calculation. P_FEEDSTOCK_c4h4 is accepted
// and dropped; so is gp_thickns, whose value the later gp_thickness replaces
// as the layer spacing before anything reads it.
inline constexpr std::array<ClassParameter<MaParameters>, 14> kMaClassParameters{{
    {"feedstock_gas_name", "feedstock_gas_name", "C2H2"},
    {"main_product_species", "main_product_species", "C4H4"},
    {"npr", "xnpr", 1LL, &MaParameters::npr},
    {"temp_current", "temp", 700LL, &MaParameters::temp_current},
    {"P_FEEDSTOCK_c2h2", "P_FEEDSTOCK_c2h2", 20000.645, &MaParameters::P_FEEDSTOCK_c2h2},
    {"P_FEEDSTOCK_c4h4", nullptr, 20000.64},
    {"gp_thickns", nullptr, 3.4e-10},
    {"AA12_internal_use", "AA12", EmptyMapping{}},
    {"reactor_init_press", "reactor_initial_pressure", 101000LL, &MaParameters::reactor_init_press},
    {"surface_coverage_gp", "surface_coverage_gp", 0.3},
    {"fra_cnt_gp", "fraction_cnt_gp", 0.7, &MaParameters::fra_cnt_gp},
    {"gp_cove_rati", "gp_coverage_ratio", 0LL, &MaParameters::gp_cove_rati},
    {"encap_cond", "encapsulation_cond", false},
    {"gp_thickness", "gp_thickness", 10LL, &MaParameters::gp_thickness},
}};

// The diameter, the constants, then the numbers the diameter assignment sets.
using MaNumber = NamedNumber<MaSurfaceKinetics>;
inline constexpr std::array<MaNumber, 11> kMaConstants{{
    {"dp", &MaSurfaceKinetics::dp}, {"NAVA", &MaSurfaceKinetics::NAVA}, {"kb", &MaSurfaceKinetics::kb},
    {"R_gas", &MaSurfaceKinetics::R_gas}, {"volume_carbon_atom", &MaSurfaceKinetics::volume_carbon_atom},
    {"H_diameter", &MaSurfaceKinetics::H_diameter}, {"C_diameter", &MaSurfaceKinetics::C_diameter},
    {"O_diameter", &MaSurfaceKinetics::O_diameter}, {"N_diameter", &MaSurfaceKinetics::N_diameter},
    {"mass_C2H2", &MaSurfaceKinetics::mass_C2H2}, {"mass_C4H4", &MaSurfaceKinetics::mass_C4H4},
}};
inline constexpr std::array<NamedNumber<MaSurfaceKinetics, std::optional<double>>, 2> kMaLateNumbers{{
    {"NP_area", &MaSurfaceKinetics::NP_area}, {"rho_particle", &MaSurfaceKinetics::rho_particle},
}};

// Carbon atoms per molecule read from a formula's second character ("C2H2" -> 2),
// with the host's errors for a short key or a non-digit.
int carbon_number_from_formula(std::string_view formula);

}  // namespace velmora::submodels
