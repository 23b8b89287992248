// velmora.ml.phase_boundary_learner: the classifier _Main_ML_2D (main_ml_2d.cpp)
// and, in the submodule _views, free-function forms of its building blocks,
// which the small helper modules of velmora.ml re-export.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <vector>

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

    py::module_ views = m.def_submodule("_views", "Free-function views of the classifier's building blocks.");
    views.def("sigmoid1", &sigmoid, py::arg("z"), "The logistic function 1 / (1 + exp(-z)), element-wise.");
    views.def(
        "map_feature1",
        [](py::handle X2, py::handle X1, py::handle poly_degree) {
            return map_feature1(X2, X1, static_cast<long>(integer_number(poly_degree, "poly_degree")));
        },
        py::arg("X2"), py::arg("X1"), py::arg("poly_degree") = 12,
        "Monomials u^k .. v^k of degree 1..poly_degree, u = X2 and v = X1.");
    views.def(
        "logistic_loss_reg",
        [](py::handle X, py::handle y, py::handle w, py::handle b, double lambda_) {
            const Problem p = problem(X, y, w, b);
            return ml::logistic_loss_reg(p.X, p.y, p.w, p.b, lambda_);
        },
        py::arg("X"), py::arg("y"), py::arg("w"), py::arg("b"), py::arg("lambda_") = 1.0,
        "Mean cross-entropy plus lambda_ * sum(w**2) / (2 m).");
    views.def(
        "compute_gradient",
        [](py::handle X, py::handle y, py::handle w, py::handle b, double lambda_) {
            return compute_gradient(X, y, w, b, lambda_);
        },
        py::arg("X"), py::arg("y"), py::arg("w"), py::arg("b"), py::arg("lambda_") = 1.0,
        "(dj_db, dj_dw): gradient of the regularised cost, bias part first.");
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
            const ml::MatrixView Xv = matrix_view(Xa, "X");
            const auto wv = vector_view(wa, "w");
            ml::check_problem(Xv, Xv.rows, wv.size());
            std::vector<double> z(Xv.rows);
            ml::linear_scores(Xv, wv, real_number(b, "b"), z);
            return to_numpy(z);
        },
        py::arg("X"), py::arg("w"), py::arg("b"), "The logits X @ w + b of a feature matrix.");

    register_main_ml_2d(m);
}
