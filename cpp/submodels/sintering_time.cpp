#include "submodels/sintering_time.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "common/errors.hpp"
#include "gas/step_limits.hpp"

namespace velmora::submodels {

namespace {

// Both divide an activation energy: zero, a subnormal, a negative value or a
// non-number can only give an infinite exponent and a NaN or infinite time.
void check_temperature_and_gas_constant(double temp, double gas_constant) {
    // std::isnormal is false for 0, subnormals, infinities and NaN.
    if (!(std::isnormal(temp) && temp > 0))
        throw InvalidValue("temp must be a finite temperature above 0 K, got " + gas::number_text(temp));
    if (!(std::isnormal(gas_constant) && gas_constant > 0))
        throw InvalidValue("R must be a finite positive gas constant (8.314 J/(mol K)), got " +
                         gas::number_text(gas_constant));
}

}  // namespace

double nickel_sintering_time(double dp, double temp, double gas_constant, NickelDivisionRules rules) {
    check_temperature_and_gas_constant(temp, gas_constant);
    const double prefactor = 6.9e15 * std::pow(dp, 4.0) * temp;
    const double activation = divide(divide(64009, gas_constant, rules.gas_constant), temp, rules.temperature);
    const double size_term = std::pow(divide(3.5e-9, dp, rules.diameter) * (temp / 2100), 3.0);
    return prefactor * std::exp(activation * (2.558 - size_term));
}

double iron_sintering_time(double temperature_starter, double dp, double temp, double gas_constant) {
    check_temperature_and_gas_constant(temp, gas_constant);
    if (temp < temperature_starter) return 1e-9;

    // Activation energies shrink for particles a few atoms across.
    constexpr double kAtomicScale = 1.092e-09;
    double m = 1.0;
    if (dp > kAtomicScale) m = std::min(std::exp(-3 / (dp / kAtomicScale - 1)), 1.0);
    m = std::clamp(m, 1e-40, 1e40);

    const double tau_dp1 = 15700 * dp * std::exp(m * 59150 / gas_constant / temp);
    const double tau_dp2 = 5.08e10 * std::pow(dp, 2.0) * std::exp(m * 83850 / gas_constant / temp);
    const double tau_dp3 = 1.1e17 * std::pow(dp, 3.0) * std::exp(m * 111040 / gas_constant / temp);
    const double tau_dp4 = 1.12e20 * std::pow(dp, 4.0) * std::exp(m * 185610 / gas_constant / temp);
    // Mechanisms act in parallel: their rates add, so the fastest one dominates.
    return 1 / (1 / tau_dp1 + 1 / tau_dp2 + 1 / tau_dp3 + 1 / tau_dp4);
}

double cobalt_sintering_time(double temperature_starter, double temp) {
    return temp < temperature_starter ? 1e-9 : 1e-12;
}

double characteristic_sintering_time(double temperature_starter, std::string_view element, double dp,
                                     double temp, double gas_constant, NickelDivisionRules nickel_rules) {
    if (element == "Ni") return nickel_sintering_time(dp, temp, gas_constant, nickel_rules);
    if (element == "Fe") return iron_sintering_time(temperature_starter, dp, temp, gas_constant);
    if (element == "COB") return cobalt_sintering_time(temperature_starter, temp);
    throw InvalidValue(unknown_sintering_element_message("'" + std::string(element) + "'"));
}

std::string unknown_sintering_element_message(std::string_view shown_key) {
    return "Catalsyt_element must be one of 'Ni', 'Fe', 'COB', got " + std::string(shown_key);
}

}  // namespace velmora::submodels
