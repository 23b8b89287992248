// Carbon saturation of a catalyst agglomerate: bulk solubility that rises
// linearly with temperature, raised for small particles by a Gibbs-Thomson
// factor. Carbon beyond that limit leaves the particle (nanotubes, graphene).
#pragma once
#include <string>
#include <string_view>

#include "submodels/zero_divisor_rule.hpp"

namespace velmora::submodels {

struct CatalystSolubility {
    double c0;               // bulk solubility, constant term (C atoms per metal atom)
    double c1;               // bulk solubility, temperature coefficient, 1/K
    double surface_energy;   // J/m^2
    double atomic_diameter;  // m
};

// Material by flag: 1 nickel, 2 iron, compared numerically (1.0 is nickel).
// Any other flag selects nothing: throws ValueError (unknown_catalyst_message).
const CatalystSolubility& catalyst_solubility(double flag_id_mat);
bool known_catalyst(double flag_id_mat);
// The ValueError's text for an unknown flag, shown as the caller wrote it.
std::string unknown_catalyst_message(std::string_view shown_flag);

// Carbon atoms per metal atom that the particle holds at saturation.
// `size_term_rule` governs the zero divisor kb * temp * dp.
double carbon_saturation_ratio(double temp, double dp, double flag_id_mat, double kb,
                               ZeroDivisorRule size_term_rule = ZeroDivisorRule::ieee);

struct CarbonSaturation {
    int cnt_cnd = 0;             // 1 when the carbon exceeds the saturation limit
    double carbon_inside = 0.0;  // carbon atoms per agglomerate dissolved in the metal
};

struct CarbonSaturationRules {
    ZeroDivisorRule size_term = ZeroDivisorRule::ieee;     // kb * temp * dp
    ZeroDivisorRule carbon_ratio = ZeroDivisorRule::ieee;  // carbon / metal atoms
};

// Saturation test of one section. A ratio equal to the limit is not saturated
// and keeps all its carbon inside; above it the particle holds exactly the limit.
CarbonSaturation carbon_sat(double section_metal_number, double section_carbon_number, double temp,
                            double dp, double flag_id_mat, double kb,
                            CarbonSaturationRules rules = {});

}  // namespace velmora::submodels
