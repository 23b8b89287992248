#include "gas/step_limits.hpp"

#include <cmath>

#include "common/errors.hpp"

namespace velmora::gas {

void check_gas_step(double temperature, double pressure_atm, double flow_velocity, double length_step,
                    const std::string& who, const std::string& temp_name, const std::string& pressure_name,
                    const std::string& velocity_name, const std::string& length_name) {
    auto positive = [&](double value, const std::string& name, const char* what) {
        if (!(std::isfinite(value) && value > 0))
            throw InvalidValue(who + ": " + name + " must be a finite " + what + " above 0, got " + number_text(value));
    };
    positive(temperature, temp_name, "temperature (K)");
    positive(pressure_atm, pressure_name, "pressure");
    positive(flow_velocity, velocity_name, "gas velocity (m/s)");
    if (!(std::isfinite(length_step) && length_step >= 0))
        throw InvalidValue(who + ": " + length_name + " must be a finite axial step of at least 0 m, got " +
                         number_text(length_step));
    const double residence = length_step / flow_velocity;
    if (!(residence <= kMaxGasStepTime))
        throw InvalidValue(who + ": the gas step " + length_name + " / " + velocity_name + " = " +
                         number_text(length_step) + " / " + number_text(flow_velocity) + " = " + number_text(residence) +
                         " s exceeds the bound of " + number_text(kMaxGasStepTime) + " s on one gas step");
}

}  // namespace velmora::gas
