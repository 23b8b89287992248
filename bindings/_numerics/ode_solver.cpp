// solve_ivp on Python callables: fun(t, y) -> dy/dt and optionally
// jac(t, y) -> n x n matrix, both checked for shape on every call.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <limits>
#include <string>

#include "_numerics/ode_result.hpp"
#include "common/conversions.hpp"
#include "common/errors.hpp"
#include "numerics/lsoda.hpp"

namespace py = pybind11;

namespace velmora::bind {

namespace {

py::object solve_ivp(const py::function& fun, const py::sequence& t_span, const py::object& y0_obj,
                              double rtol, const py::object& atol_obj, const py::object& jac,
                              const py::object& first_step, double max_step, double min_step,
                              const std::string& error_norm) {
    if (py::len(t_span) != 2) throw InvalidValue("t_span must contain exactly two values (t0, t_end)");
    const double t0 = real_number(t_span[0], "t_span[0]");
    const double t_end = real_number(t_span[1], "t_span[1]");
    FloatArray y0 = float_vector(y0_obj, "y0");
    const std::size_t n = static_cast<std::size_t>(y0.size());

    // The tolerances and step limits are checked by the integrator itself.
    numerics::OdeOptions options;
    options.rtol = rtol;
    const FloatArray atol = float_array(atol_obj, "atol");
    if (atol.ndim() == 0) options.atol = *atol.data();
    else options.atol_vector = real_vector(atol, "atol");
    if (!first_step.is_none()) {
        options.first_step = real_number(first_step, "first_step");
        if (!(options.first_step > 0.0)) throw InvalidValue("first_step must be positive");  // 0 would mean "choose"
    }
    options.max_step = max_step;
    options.min_step = min_step;
    if (error_norm == "rms") options.error_norm = numerics::OdeErrorNorm::rms;
    else if (error_norm != "max") invalid_option("error_norm", error_norm, {"max", "rms"});

    const numerics::OdeRhs rhs = [&fun, n](double t, std::span<const double> y, std::span<double> dydt) {
        const FloatArray f = float_array(fun(t, to_numpy(y)), "fun(t, y)");
        check_length(static_cast<std::size_t>(f.size()), n, "fun(t, y)");
        std::copy(f.data(), f.data() + n, dydt.begin());
    };
    if (!jac.is_none()) {
        if (!PyCallable_Check(jac.ptr())) throw WrongType("jac must be callable or None");
        options.jacobian = [jac, n](double t, std::span<const double> y, std::span<double> out) {
            const FloatArray j = float_array(jac(t, to_numpy(y)), "jac(t, y)");
            if (j.ndim() != 2 || static_cast<std::size_t>(j.shape(0)) != n ||
                static_cast<std::size_t>(j.shape(1)) != n)
                throw InvalidValue("jac(t, y) must return an array of shape (n, n) with n = " +
                                 std::to_string(n));
            std::copy(j.data(), j.data() + n * n, out.begin());
        };
    }
    return ode_result(numerics::solve_ivp_lsoda(rhs, t0, t_end, std::span<const double>(y0.data(), n), options));
}

}  // namespace

void register_ode_solver(py::module_& m) {
    m.def("solve_ivp", &solve_ivp, py::arg("fun"), py::arg("t_span"), py::arg("y0"),
          py::arg("rtol") = 1e-3, py::arg("atol") = py::float_(1e-6), py::arg("jac") = py::none(),
          py::kw_only(), py::arg("first_step") = py::none(),
          py::arg("max_step") = std::numeric_limits<double>::infinity(), py::arg("min_step") = 0.0,
          py::arg("error_norm") = "max",
          "Integrates dy/dt = fun(t, y) over t_span with the LSODA method (automatic\n"
          "Adams/BDF switching). Returns scipy's OptimizeResult with t, y (n x len(t)),\n"
          "success, message, status, nfev, njev, nlu; numerical failures give success=False.\n"
          "error_norm: 'max' (LSODA's weighted max-norm, as scipy) or 'rms'.");
}

}  // namespace velmora::bind
