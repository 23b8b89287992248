// Limits on what one gas-phase step may ask of the chemistry library. Cantera
// is handed only a finite, positive temperature, pressure and velocity and a
// step of residence time in [0, kMaxGasStepTime]; far longer reactor advances
// can crash the library itself instead of raising.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

namespace velmora::gas {

// Longest residence time of one gas step, s (about 300 years; a 0.6 m reactor
// at any sensible flow is crossed in seconds).
inline constexpr double kMaxGasStepTime = 1e10;

// Throws ValueError naming the offending input when the step cannot be sound.
// `who` starts the message (e.g. "chemical_kinetics"); the names are those of
// the caller's arguments: temperature `temp_name`, pressure (atm) `pressure_name`,
// velocity `velocity_name`, axial step `length_name`.
void check_gas_step(double temperature, double pressure_atm, double flow_velocity, double length_step,
                    const std::string& who, const std::string& temp_name = "chk_temp",
                    const std::string& pressure_name = "reactor_pressure",
                    const std::string& velocity_name = "flow_velocity",
                    const std::string& length_name = "lengthstep");

// Shortest of %.15g ... %.17g that reads back as the same number, for messages.
inline std::string number_text(double value) {
    char buffer[32];
    for (int digits = 15; digits <= 17; ++digits) {
        std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
        if (std::strtod(buffer, nullptr) == value) break;
    }
    return buffer;
}

}  // namespace velmora::gas
