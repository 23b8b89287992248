// Characteristic sintering (coalescence) time of a catalyst particle of given
// diameter and temperature, by catalyst material.
#pragma once
#include <string>
#include <string_view>

#include "submodels/zero_divisor_rule.hpp"

namespace velmora::submodels {

// Solid-state sintering of nickel: grows as dp^4 * temp, with an activation
// energy lowered for small particles (size term (3.5 nm / dp * temp / 2100)^3).
struct NickelDivisionRules {
    ZeroDivisorRule gas_constant = ZeroDivisorRule::ieee;  // 64009 / R
    ZeroDivisorRule temperature = ZeroDivisorRule::ieee;   // ... / temp
    ZeroDivisorRule diameter = ZeroDivisorRule::ieee;      // 3.5e-9 / dp
};
double nickel_sintering_time(double dp, double temp, double gas_constant,
                             NickelDivisionRules rules = {});

// Iron: four mechanisms (times ~dp, dp^2, dp^3, dp^4) acting in parallel, with
// activation energies scaled down for small particles. Below the starter
// temperature a fixed 1e-9 s keeps the stiff problem tractable.
double iron_sintering_time(double temperature_starter, double dp, double temp, double gas_constant);

// Cobalt: fixed times, 1e-9 s below the starter temperature, 1e-12 s otherwise.
double cobalt_sintering_time(double temperature_starter, double temp);

// Dispatch on the material key "Ni", "Fe" or "COB" (case-sensitive); any other
// key throws ValueError naming the accepted keys.
double characteristic_sintering_time(double temperature_starter, std::string_view element, double dp,
                                     double temp, double gas_constant,
                                     NickelDivisionRules nickel_rules = {});

// Text of the ValueError for an unknown key; `shown_key` is the key as the caller shows it.
std::string unknown_sintering_element_message(std::string_view shown_key);

}  // namespace velmora::submodels
