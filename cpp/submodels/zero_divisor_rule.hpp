// How a division treats a zero divisor. The sub-models are called both with
// numpy scalars, which give inf/nan, and with the host's plain numbers, which
// refuse a zero divisor; the caller says which applies to each division.
#pragma once
#include "common/errors.hpp"

namespace velmora::submodels {

enum class ZeroDivisorRule {
    ieee,        // inf or nan, like numpy scalars
    host_float,  // ZeroDivisionError "float division by zero"
    host_int,    // ZeroDivisionError "division by zero" (both operands integers)
};

// The rule of one division: IEEE when any operand is a numpy value, otherwise
// the host's (its integer wording when the quotient is of two plain ints).
inline ZeroDivisorRule division_rule(bool plain_operands, bool int_quotient) {
    if (!plain_operands) return ZeroDivisorRule::ieee;
    return int_quotient ? ZeroDivisorRule::host_int : ZeroDivisorRule::host_float;
}

inline double divide(double numerator, double divisor, ZeroDivisorRule rule) {
    if (divisor == 0.0 && rule != ZeroDivisorRule::ieee) {
        throw DivisionByZero(rule == ZeroDivisorRule::host_int ? "division by zero"
                                                                  : "float division by zero");
    }
    return numerator / divisor;
}

}  // namespace velmora::submodels
