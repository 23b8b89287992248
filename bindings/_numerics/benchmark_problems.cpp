// Benchmark problems with C++ right-hand sides, so that benchmarks/bench_numerics.py
// can time the integrator without any Python call inside the integration and
// compare it with scipy on the same problems written in Python.
//   "robertson": Robertson's stiff chemical kinetics (3 species), from t = 0.
//   "stiff141":  141-point reaction-diffusion front, u' = D u_xx + k u^2 (1 - u)
//                on [0, 1] with zero-flux ends, D = 0.1, k = 100, from t = 0 with
//                u0(x) = 1 / (1 + exp((x - 0.1) / 0.02)).
#include <pybind11/pybind11.h>

#include <cmath>
#include <string>
#include <vector>

#include "_numerics/registrations.hpp"
#include "common/conversions.hpp"
#include "common/errors.hpp"
#include "numerics/lsoda.hpp"

namespace py = pybind11;

namespace velmora::bind {

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

numerics::OdeResult benchmark_problem(const std::string& name, double rtol, double atol,
                                      const py::object& t_end_obj) {
    numerics::OdeOptions options;
    options.rtol = rtol;
    options.atol = atol;
    if (name == "robertson") {
        const double t_end = t_end_obj.is_none() ? 1e5 : real_number(t_end_obj, "t_end");
        const std::vector<double> y0 = {1.0, 0.0, 0.0};
        return numerics::solve_ivp_lsoda(robertson_rhs, 0.0, t_end, y0, options);
    }
    if (name == "stiff141") {
        const double t_end = t_end_obj.is_none() ? 1.0 : real_number(t_end_obj, "t_end");
        std::vector<double> u0(kFrontPoints);
        for (std::size_t i = 0; i < kFrontPoints; ++i) {
            const double x = static_cast<double>(i) / static_cast<double>(kFrontPoints - 1);
            u0[i] = 1.0 / (1.0 + std::exp((x - 0.1) / 0.02));
        }
        return numerics::solve_ivp_lsoda(front_rhs, 0.0, t_end, u0, options);
    }
    throw InvalidValue("unknown benchmark problem '" + name + "': expected 'robertson' or 'stiff141'");
}

}  // namespace

void register_benchmark_problems(py::module_& m) {
    m.def("benchmark_problem", &benchmark_problem, py::arg("name"), py::arg("rtol") = 1e-6,
          py::arg("atol") = 1e-10, py::arg("t_end") = py::none(),
          "Integrates a built-in benchmark problem ('robertson' or 'stiff141') with a C++\n"
          "right-hand side; used by benchmarks/bench_numerics.py.");
}

}  // namespace velmora::bind
