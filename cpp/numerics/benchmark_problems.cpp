#include "numerics/benchmark_problems.hpp"

#include <cmath>
#include <vector>

#include "common/errors.hpp"

namespace velmora::numerics {

namespace {

constexpr std::size_t kFrontPoints = 141;
constexpr double kFrontDiffusion = 0.1;
constexpr double kFrontRate = 100.0;

void robertson_rhs(double, std::span<const double> y, std::span<double> dy) {
    dy[0] = -0.04 * y[0] + 1e4 * y[1] * y[2];
    dy[2] = 3e7 * y[1] * y[1];
    dy[1] = -dy[0] - dy[2];
}

void front_rhs(double, std::span<const double> u, std::span<double> du) {
    const std::size_t n = u.size();
    const double dx = 1.0 / static_cast<double>(n - 1);
    const double c = kFrontDiffusion / (dx * dx);
    for (std::size_t i = 0; i < n; ++i) {
        const double left = i == 0 ? u[1] : u[i - 1];
        const double right = i == n - 1 ? u[n - 2] : u[i + 1];
        du[i] = c * (left - 2.0 * u[i] + right) + kFrontRate * u[i] * u[i] * (1.0 - u[i]);
    }
}

}  // namespace

OdeResult benchmark_problem(const std::string& name, double rtol, double atol, std::optional<double> t_end) {
    OdeOptions options;
    options.rtol = rtol;
    options.atol = atol;
    if (name == "robertson") {
        const std::vector<double> y0 = {1.0, 0.0, 0.0};
        return solve_ivp_lsoda(robertson_rhs, 0.0, t_end.value_or(1e5), y0, options);
    }
    if (name == "stiff141") {
        std::vector<double> u0(kFrontPoints);
        for (std::size_t i = 0; i < kFrontPoints; ++i) {
            const double x = static_cast<double>(i) / static_cast<double>(kFrontPoints - 1);
            u0[i] = 1.0 / (1.0 + std::exp((x - 0.1) / 0.02));
        }
        return solve_ivp_lsoda(front_rhs, 0.0, t_end.value_or(1.0), u0, options);
    }
    throw InvalidValue("unknown benchmark problem '" + name + "': expected 'robertson' or 'stiff141'");
}

}  // namespace velmora::numerics
