// norm_ppf and lognorm_ppf on scalars or arrays (element-wise, numpy broadcasting).
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "_numerics/registrations.hpp"
#include "numerics/quantiles.hpp"

namespace py = pybind11;

namespace velmora::bind {

void register_quantiles(py::module_& m) {
    m.def("norm_ppf", py::vectorize([](double q, double loc, double scale) {
              return numerics::norm_ppf(q, loc, scale);
          }),
          py::arg("q"), py::arg("loc") = 0.0, py::arg("scale") = 1.0,
          "Quantile of the normal distribution N(loc, scale**2) (scipy.stats.norm.ppf).");
    m.def("lognorm_ppf", py::vectorize([](double q, double s, double scale) {
              return numerics::lognorm_ppf(q, s, scale);
          }),
          py::arg("q"), py::arg("s"), py::arg("scale") = 1.0,
          "Quantile of the lognormal distribution with shape s and scale\n"
          "(scipy.stats.lognorm.ppf).");
}

}  // namespace velmora::bind
