// velmora.ml.fit_weights: the classifier's batch gradient descent as a free
// function taking any cost and gradient callables.
#include <pybind11/pybind11.h>

#include "common/module_setup.hpp"
#include "ml_common/descent_ops.hpp"

PYBIND11_MODULE(fit_weights, m) {
    namespace py = pybind11;
    velmora::bind::setup_module(m);

    m.def(
        "fit_weights",
        [](py::object X, py::object y, py::object w_in, py::object b_in, py::object cost_function,
           py::object gradient_function, py::object alpha, py::object num_iters, py::object lambda_) {
            return velmora::bind::ml_descent::fit_weights(X, y, w_in, b_in, cost_function, gradient_function, alpha,
                                                          num_iters, lambda_);
        },
        py::arg("X"), py::arg("y"), py::arg("w_in"), py::arg("b_in"), py::arg("cost_function"),
        py::arg("gradient_function"), py::arg("alpha"), py::arg("num_iters"), py::arg("lambda_"),
        "Batch gradient descent; returns (w, b, J_history, w_history).");
}
