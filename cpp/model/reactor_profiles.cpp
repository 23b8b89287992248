// Local reactor conditions: the gas temperature and velocity along the axis
// from a selectable wall-temperature profile, and the gas transport
// properties derived from the latest gas-phase result.
#include <array>
#include <cmath>

#include "common/errors.hpp"
#include "gas/step_limits.hpp"
#include "model/moving_sectional_model.hpp"

namespace velmora::model {

namespace {

// Measured centre-line temperatures, fitted as polynomials of the position in
// cm (coefficients highest power first).
constexpr std::array<double, 7> kCelnik2008 = {2.97405984e-6, -0.000521031728, 0.0344427829, -1.05640031,
                                               13.6315092,    -13.523073,      424.851083};
constexpr std::array<double, 8> kAhmad2019 = {-4.87539642e-10, 5.70126603e-8, 7.20475763e-6, -0.00173087449,
                                              0.130007464,     -4.82438876,   93.1335933,    253.274781};

// Horner evaluation in the same operation order as a poly1d call.
template <std::size_t N>
double polynomial(const std::array<double, N>& coefficients, double at) {
    double value = 0.0;
    for (double c : coefficients) value = value * at + c;
    return value;
}

}  // namespace

void MovingSectionalModel::temp_vel(double position) {
    if (wrapper_mapping_temp) {
        // A study point fixes the temperature along the whole reactor.
        temp = *wrapper_mapping_temp;
        if (!(std::isfinite(temp) && temp > 0))
            throw InvalidValue("wrapper_mapping_temp must be a finite temperature above 0 K, got " + gas::number_text(temp));
    } else if (paper_name_for_temperature_history == "custom") {
        temp = 873;
    } else if (paper_name_for_temperature_history == "Celnik_2008") {
        temp = polynomial(kCelnik2008, 100 * position);
        if (temp < 424) temp = 424;
    } else if (paper_name_for_temperature_history == "Ahmad_2019") {
        temp = polynomial(kAhmad2019, 100 * position) + 273.15;
        if (temp < 610.15) temp = 610.15;
    } else if (temp == 0) {
        // Unknown profile: the temperature stays at its last value; 0 K marks
        // a temperature that was never set.
        throw missing_attribute(kClassName, "temp");
    }
    // Inlet volumetric flow through the cross-section, expanded from the
    // inlet temperature to the local one.
    vel = checked_div(checked_div(4 * xqtot, vpi * std::pow(xdtube, 2)) * temp, ambient_temp);
}

void MovingSectionalModel::props() {
    if (!AA12) throw missing_attribute(kClassName, "AA12");
    const auto& properties = AA12->properties;
    if (properties.density.empty()) throw OutOfRange("AA12: the gas density ('curr_dens') holds no value");
    if (properties.viscosity.empty()) throw OutOfRange("AA12: the gas viscosity ('curr_visc') holds no value");
    rhog = properties.density.front();
    eta = properties.viscosity.front();
    xnu = eta / rhog;
    // Mean free path from the kinematic viscosity and the mean molecular
    // speed; xmwg is in g/mol.
    xlm = xnu * std::sqrt(checked_div(vpi * xmwg / 2 / 8.31441, temp) / 1000);
}

}  // namespace velmora::model
