// Nordsieck-form coefficients of the two linear multistep families used by the
// stiff/non-stiff integrator: Adams-Moulton (orders 1-12) and BDF (orders 1-5).
#pragma once
#include <array>

namespace velmora::numerics {

inline constexpr int kMaxAdamsOrder = 12;
inline constexpr int kMaxBdfOrder = 5;

// For one method family and each order q (index q-1):
//   el[q-1][0..q]  coefficients l_j of the corrector polynomial (l_1 == 1),
//   test[q-1][0..2] error-test constants for orders q-1, q and q+1 (their
//                   reciprocals scale the estimated local error).
struct MethodCoefficients {
    std::array<std::array<double, 13>, kMaxAdamsOrder> el{};
    std::array<std::array<double, 3>, kMaxAdamsOrder> test{};
    int max_order = 0;
};

const MethodCoefficients& adams_coefficients();
const MethodCoefficients& bdf_coefficients();

}  // namespace velmora::numerics
