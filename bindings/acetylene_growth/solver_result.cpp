#include "solver_result.hpp"

#include <pybind11/numpy.h>

#include <algorithm>

#include "common/conversions.hpp"

namespace velmora::bind {

namespace py = pybind11;

py::object solver_result_to_python(const numerics::OdeResult& result) {
    const std::size_t n = result.n;
    // Never read past the stored states, whatever the record claims.
    const std::size_t n_times = n == 0 ? result.t.size() : std::min(result.t.size(), result.y.size() / n);
    py::array_t<double> t = to_numpy(std::span<const double>(result.t.data(), n_times));
    py::array_t<double> y({static_cast<py::ssize_t>(n), static_cast<py::ssize_t>(n_times)});
    auto yv = y.mutable_unchecked<2>();
    for (std::size_t k = 0; k < n_times; ++k)
        for (std::size_t i = 0; i < n; ++i) yv(i, k) = result.y[k * n + i];

    // scipy's own result type (solve_ivp returns a subclass of it): a dict whose
    // keys also read as attributes.
    py::object out = py::module_::import("scipy.optimize").attr("OptimizeResult")();
    out["t"] = t;
    out["y"] = y;
    out["sol"] = py::none();
    out["t_events"] = py::none();
    out["y_events"] = py::none();
    out["nfev"] = result.nfev;
    out["njev"] = result.njev;
    out["nlu"] = result.nlu;
    out["status"] = result.status;
    out["message"] = result.message;
    out["success"] = result.success;
    return out;
}

}  // namespace velmora::bind
