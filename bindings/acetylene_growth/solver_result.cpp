#include "solver_result.hpp"

#include <pybind11/eval.h>
#include <pybind11/numpy.h>

#include <algorithm>

#include "common/conversions.hpp"

namespace velmora::bind {

namespace py = pybind11;

namespace {

// A dict subclass with attribute access, built once per interpreter.
py::object result_type() {
    static py::object type = [] {
        py::dict scope;
        py::exec(R"(
class SolverResult(dict):
    """Integration result: a dictionary whose keys also read as attributes."""
    def __getattr__(self, name):
        try:
            return self[name]
        except KeyError as e:
            raise AttributeError(name) from e
    __setattr__ = dict.__setitem__
    __delattr__ = dict.__delitem__
    def __dir__(self):
        return list(self.keys())
)",
                 scope);
        py::object cls = scope["SolverResult"];
        cls.attr("__module__") = "velmora.modules.acetylene_growth";
        return cls;
    }();
    return type;
}

}  // namespace

py::object solver_result_to_python(const numerics::OdeResult& result) {
    const std::size_t n = result.n;
    // Never read past the stored states, whatever the record claims.
    const std::size_t n_times = n == 0 ? result.t.size() : std::min(result.t.size(), result.y.size() / n);
    py::array_t<double> t = to_numpy(std::span<const double>(result.t.data(), n_times));
    py::array_t<double> y({static_cast<py::ssize_t>(n), static_cast<py::ssize_t>(n_times)});
    auto yv = y.mutable_unchecked<2>();
    for (std::size_t k = 0; k < n_times; ++k)
        for (std::size_t i = 0; i < n; ++i) yv(i, k) = result.y[k * n + i];

    py::object out = result_type()();
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
