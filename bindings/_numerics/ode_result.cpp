// The integrator's result as Python sees it, shaped like scipy's OdeResult:
// t (len(t),), y (n rows by len(t) columns), success, message, status and the
// evaluation counters.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "_numerics/registrations.hpp"
#include "common/conversions.hpp"
#include "numerics/lsoda.hpp"

namespace py = pybind11;

namespace velmora::bind {

void register_ode_result(py::module_& m) {
    using numerics::OdeResult;
    py::class_<OdeResult>(m, "OdeResult")
        .def_property_readonly("t",
                               [](const OdeResult& r) { return to_numpy(r.t); })
        .def_property_readonly("y",
                               [](const OdeResult& r) {
                                   const auto n = static_cast<py::ssize_t>(r.n);
                                   const auto k = static_cast<py::ssize_t>(r.t.size());
                                   py::array_t<double> y({n, k});
                                   auto out = y.mutable_unchecked<2>();
                                   for (py::ssize_t j = 0; j < k; ++j)
                                       for (py::ssize_t i = 0; i < n; ++i)
                                           out(i, j) = r.y[static_cast<std::size_t>(j * n + i)];
                                   return y;
                               })
        .def_readonly("success", &OdeResult::success)
        .def_readonly("status", &OdeResult::status)
        .def_readonly("message", &OdeResult::message)
        .def_readonly("nfev", &OdeResult::nfev)
        .def_readonly("njev", &OdeResult::njev)
        .def_readonly("nlu", &OdeResult::nlu)
        .def("__repr__", [](const OdeResult& r) {
            return "OdeResult(success=" + std::string(r.success ? "True" : "False") +
                   ", status=" + std::to_string(r.status) + ", message='" + r.message +
                   "', len(t)=" + std::to_string(r.t.size()) + ", nfev=" + std::to_string(r.nfev) +
                   ", njev=" + std::to_string(r.njev) + ", nlu=" + std::to_string(r.nlu) + ")";
        });
}

}  // namespace velmora::bind
