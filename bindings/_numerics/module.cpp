// velmora._numerics: the core's integrator, quadrature and quantiles called on
// Python callables, so that tests and benchmarks can compare them with scipy.
// The model itself calls the C++ functions directly.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "_numerics/ode_result.hpp"
#include "common/conversions.hpp"
#include "common/module_setup.hpp"
#include "numerics/benchmark_problems.hpp"
#include "numerics/quadrature.hpp"
#include "numerics/quantiles.hpp"

namespace py = pybind11;
using namespace velmora;

namespace velmora::bind {
void register_ode_solver(py::module_& m);  // solve_ivp, in ode_solver.cpp
}

PYBIND11_MODULE(_numerics, m) {
    bind::setup_module(m);
    m.doc() = "Internal numerics of velmora: LSODA integrator, adaptive quadrature, quantiles.";
    bind::register_ode_solver(m);

    m.def(
        "quad",
        [](const py::function& func, double a, double b, double epsabs, double epsrel, int limit) {
            const auto f = [&func](double x) { return bind::real_number(func(x), "func(x)"); };
            const numerics::QuadResult r = numerics::quad(f, a, b, epsabs, epsrel, limit);
            return py::make_tuple(r.value, r.abserr);
        },
        py::arg("func"), py::arg("a"), py::arg("b"), py::arg("epsabs") = 1.49e-8,
        py::arg("epsrel") = 1.49e-8, py::arg("limit") = 50,
        "Adaptive 21-point Gauss-Kronrod quadrature with epsilon extrapolation over a\n"
        "finite interval; returns (value, abserr).");

    // Element-wise on scalars or arrays, with numpy broadcasting.
    m.def("norm_ppf", py::vectorize(&numerics::norm_ppf), py::arg("q"), py::arg("loc") = 0.0,
          py::arg("scale") = 1.0, "Quantile of the normal distribution N(loc, scale**2) (scipy.stats.norm.ppf).");
    m.def("lognorm_ppf", py::vectorize(&numerics::lognorm_ppf), py::arg("q"), py::arg("s"),
          py::arg("scale") = 1.0,
          "Quantile of the lognormal distribution with shape s and scale\n"
          "(scipy.stats.lognorm.ppf).");

    // Timed by benchmarks/bench_numerics.py against scipy on the same problems.
    m.def(
        "benchmark_problem",
        [](const std::string& name, double rtol, double atol, const py::object& t_end) {
            return bind::ode_result(
                numerics::benchmark_problem(name, rtol, atol, bind::optional_real_number(t_end, "t_end")));
        },
        py::arg("name"), py::arg("rtol") = 1e-6, py::arg("atol") = 1e-10, py::arg("t_end") = py::none(),
        "Integrates a built-in benchmark problem ('robertson' or 'stiff141') with a C++\n"
        "right-hand side; used by benchmarks/bench_numerics.py.");
}
