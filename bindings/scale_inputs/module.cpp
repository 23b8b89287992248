// velmora.ml.scale_inputs: the classifier's input scaling as free functions,
// with the method as a parameter (default "zscore", no "no_normalization").
#include <pybind11/pybind11.h>

#include "common/module_setup.hpp"
#include "ml_common/learning_ops.hpp"

PYBIND11_MODULE(scale_inputs, m) {
    namespace py = pybind11;
    using namespace velmora::bind::ml_ops;
    velmora::bind::setup_module(m);
    velmora::bind::bind_imports(m, {{"np", "numpy"}});

    m.def(
        "scale_inputs",
        [](py::object X, py::handle method) { return scale_inputs(X, scaling_method(method, false)); },
        py::arg("X"), py::arg("method") = "zscore",
        "(X_normalized, mean_vals, scale_vals) with per-column statistics of X.");
    m.def(
        "descale_inputs",
        [](py::handle X_normalized, py::handle mean_vals, py::handle scale_vals, py::handle method) {
            return descale_inputs(X_normalized, mean_vals, scale_vals, scaling_method(method, false));
        },
        py::arg("X_normalized"), py::arg("mean_vals"), py::arg("scale_vals"), py::arg("method") = "zscore",
        "X_normalized * scale_vals + mean_vals.");
}
