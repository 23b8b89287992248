// Benchmark problems with compiled right-hand sides, so that the integrator can
// be timed without any host call inside the integration:
//   "robertson": Robertson's stiff chemical kinetics (3 species), from t = 0 to
//                t_end (default 1e5).
//   "stiff141":  141-point reaction-diffusion front, u' = D u_xx + k u^2 (1 - u)
//                on [0, 1] with zero-flux ends, D = 0.1, k = 100, from t = 0 to
//                t_end (default 1) with u0(x) = 1 / (1 + exp((x - 0.1) / 0.02)).
#pragma once
#include <optional>
#include <string>

#include "numerics/lsoda.hpp"

namespace velmora::numerics {

// Throws InvalidValue for an unknown name.
OdeResult benchmark_problem(const std::string& name, double rtol, double atol, std::optional<double> t_end);

}  // namespace velmora::numerics
