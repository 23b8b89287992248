// Refusal of a physical quantity that can only give NaN or infinity: one that
// divides a rate, sits under an exponent's denominator or turns a step into a
// time. Zero, a subnormal (its reciprocal overflows), a negative value, an
// infinity and NaN are refused; std::isnormal is false for all but the last
// sign case.
#pragma once
#include <cmath>
#include <string>
#include <string_view>

#include "common/errors.hpp"
#include "gas/step_limits.hpp"

namespace velmora {

// Throws InvalidValue "<name> must be <what>, got <value>" unless value is a
// normal number above 0.
inline void require_positive_normal(double value, std::string_view name, std::string_view what) {
    if (std::isnormal(value) && value > 0) return;
    std::string text(name);
    text.append(" must be ").append(what).append(", got ").append(gas::number_text(value));
    throw InvalidValue(text);
}

}  // namespace velmora
