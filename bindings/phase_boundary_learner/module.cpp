// velmora.ml.phase_boundary_learner: the classifier _Main_ML_2D (main_ml_2d.cpp)
// and, in the submodule _views, two helpers around its features and weights,
// which velmora.ml.utils re-exports.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "common/module_setup.hpp"
#include "ml/feature_map.hpp"
#include "ml/logistic_cost.hpp"
#include "ml_common/learning_ops.hpp"

namespace velmora::bind {
void register_main_ml_2d(pybind11::module_& m);  // main_ml_2d.cpp
}

PYBIND11_MODULE(phase_boundary_learner, m) {
    namespace py = pybind11;
    namespace ml = velmora::ml;
    using namespace velmora::bind;
    using namespace velmora::bind::ml_ops;
    setup_module(m);
    // The module namespace of the classifier: numpy, pandas, pyplot and math.
    bind_imports(m, {{"np", "numpy"}, {"pd", "pandas"}, {"plt", "matplotlib.pyplot"}, {"math", "math"}});

    py::module_ views = m.def_submodule("_views", "Helpers around the classifier's features and weights.");
    views.def(
        "feature_count",
        [](py::handle poly_degree) {
            return ml::feature_count(static_cast<long>(integer_number(poly_degree, "poly_degree")));
        },
        py::arg("poly_degree"), "Number of monomial features of total degree 1..poly_degree.");
    views.def(
        "decision_values",
        [](py::handle X, py::handle w, py::handle b) {
            const FloatArray Xa = float_array(X, "X"), wa = float_array(w, "w");
            return to_numpy(ml::decision_values(matrix_view(Xa, "X"), vector_view(wa, "w"), real_number(b, "b")));
        },
        py::arg("X"), py::arg("w"), py::arg("b"), "The logits X @ w + b of a feature matrix.");

    register_main_ml_2d(m);
}
