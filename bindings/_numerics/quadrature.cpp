// quad(func, a, b) on a Python callable, returning (value, abserr) like scipy.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "_numerics/registrations.hpp"
#include "common/conversions.hpp"
#include "numerics/quadrature.hpp"

namespace py = pybind11;

namespace velmora::bind {

void register_quadrature(py::module_& m) {
    m.def(
        "quad",
        [](const py::function& func, double a, double b, double epsabs, double epsrel, int limit) {
            const auto f = [&func](double x) { return real_number(func(x), "func(x)"); };
            const numerics::QuadResult r = numerics::quad(f, a, b, epsabs, epsrel, limit);
            return py::make_tuple(r.value, r.abserr);
        },
        py::arg("func"), py::arg("a"), py::arg("b"), py::arg("epsabs") = 1.49e-8,
        py::arg("epsrel") = 1.49e-8, py::arg("limit") = 50,
        "Adaptive 21-point Gauss-Kronrod quadrature with epsilon extrapolation over a\n"
        "finite interval; returns (value, abserr).");
}

}  // namespace velmora::bind
