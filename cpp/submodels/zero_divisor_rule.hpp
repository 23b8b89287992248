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

inline double divide(double numerator, double divisor, ZeroDivisorRule rule) {
    if (divisor == 0.0 && rule != ZeroDivisorRule::ieee) {
        throw DivisionByZero(rule == ZeroDivisorRule::host_int ? "division by zero"
                                                                  : "float division by zero");
    }
    return numerator / divisor;
}

}  // namespace velmora::submodels
