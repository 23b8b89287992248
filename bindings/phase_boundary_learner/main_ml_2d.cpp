// _Main_ML_2D: settings and fitted state live in the instance's attributes (so
// users may read and replace them freely); every method reads the attributes
// it needs at call time and runs the arithmetic in the core.
#include <pybind11/numpy.h>

#include "common/conversions.hpp"
#include "common/errors.hpp"
#include "common/plain_class.hpp"
#include "ml/phase_classifier.hpp"
#include "ml_common/arrays.hpp"
#include "ml_common/descent_ops.hpp"
#include "ml_common/learning_ops.hpp"
#include "ml_common/native_callables.hpp"
#include "phase_boundary_learner/registration.hpp"

namespace velmora::bind {

namespace {

using namespace ml_arrays;
using ml_native::resolves_native;

// The six settings with the core's defaults, in the order they are stored.
py::dict default_settings() {
    const ml::ClassifierSettings defaults;
    py::dict settings;
    settings["method"] = defaults.method;
    settings["lambda_"] = defaults.lambda;
    settings["iterations"] = defaults.iterations;
    settings["alpha"] = defaults.alpha;
    settings["poly_degree"] = defaults.poly_degree;
    settings["n_order"] = defaults.n_order;
    return settings;
}

void init_classifier(py::object self, py::kwargs kwargs) {
    const auto set = [&](const char* key, py::object fallback) {
        py::setattr(self, key, kwargs.contains(key) ? py::object(kwargs[key]) : fallback);
    };
    for (auto [key, fallback] : default_settings()) set(key.cast<std::string>().c_str(), py::reinterpret_borrow<py::object>(fallback));
    for (const char* key : {"w", "b", "mean_vals", "scale_vals", "X_train", "y_train", "J_history"})
        set(key, py::none());
}

double logistic_loss(py::object self, py::handle X, py::handle y, py::handle w, py::handle b) {
    const ml_ops::Problem p = ml_ops::problem(X, y, w, b);
    if (resolves_native(self, "sigmoid1")) return ml::logistic_loss(p.X, p.y, p.w, p.b);
    return ml::logistic_loss(p.X, p.y, p.w, p.b, ml_ops::python_sigmoid(self));
}

py::object logistic_loss_reg(py::object self, py::handle X, py::handle y, py::handle w, py::handle b,
                             py::handle lambda_) {
    const py::object cost = self.attr("logistic_loss")(X, y, w, b);
    const ml_ops::Problem p = ml_ops::problem(X, y, w, b);
    const double reg = ml::squared_norm(p.w);
    return cost + py::float_((reg * real_number(lambda_, "lambda_")) / (2.0 * static_cast<double>(p.X.rows)));
}

py::tuple compute_gradient(py::object self, py::handle X, py::handle y, py::handle w, py::handle b,
                           py::handle lambda_) {
    const ml_ops::Problem p = ml_ops::problem(X, y, w, b);
    const double lambda = real_number(lambda_, "lambda_");
    if (resolves_native(self, "sigmoid1")) return ml_ops::compute_gradient(p, lambda);
    return ml_ops::gradient_tuple(ml::compute_gradient(p.X, p.y, p.w, p.b, lambda, ml_ops::python_sigmoid(self)));
}

py::tuple ml_phase_diagram_plot(py::object self, py::handle X_train, py::handle /*y_train*/, py::handle w,
                                py::handle b, py::handle mean_vals, py::handle scale_vals) {
    const DoubleArray Xa = float_array(X_train, "X_train");
    const ml::GridAxes axes = ml::grid_axes(matrix_view(Xa, "X_train"));
    const py::object physical = self.attr("descale_inputs")(to_numpy(ml::grid_nodes(axes)), mean_vals, scale_vals);
    const long n_order = static_cast<long>(integer_number(self.attr("n_order"), "n_order"));
    const DoubleArray wa = float_array(w, "w");
    const ml::Matrix logit = ml::grid_logit(axes, vector_view(wa, "w"), real_number(b, "b"), n_order);
    const auto shape = py::make_tuple(axes.v.size(), axes.u.size());
    const py::slice all{py::none(), py::none(), py::none()};
    return py::make_tuple(physical[py::make_tuple(all, 0)].attr("reshape")(shape),
                          physical[py::make_tuple(all, 1)].attr("reshape")(shape), to_numpy(logit));
}

// Each step through the instance, so that a replaced method is the one used;
// the compiled ones run in the core (fit_weights recognises the instance's own
// cost and gradient and then runs the whole descent there).
py::tuple train(py::object self, py::object X_raw, py::object y_train) {
    const auto field = [&](const char* name) { return py::getattr(self, name); };  // self.<name>
    const py::tuple scaled = field("scale_inputs")(X_raw);
    if (scaled.size() != 3) throw InvalidValue("scale_inputs must return (X_normalized, mean_vals, scale_vals)");
    py::setattr(self, "mean_vals", scaled[1]);
    py::setattr(self, "scale_vals", scaled[2]);
    const py::slice all{py::none(), py::none(), py::none()};
    const py::object Xn = scaled[0];
    py::setattr(self, "X_train", field("map_feature1")(Xn[py::make_tuple(all, 0)], Xn[py::make_tuple(all, 1)]));
    py::setattr(self, "y_train", y_train);
    const py::object n_features = field("X_train").attr("shape")[py::int_(1)];
    const py::object w0 = py::module_::import("numpy").attr("random").attr("rand")(n_features) - py::float_(0.5);
    const py::tuple fit = field("fit_weights")(field("X_train"), field("y_train"), w0, py::int_(0),
                                               field("logistic_loss_reg"), field("compute_gradient"), field("alpha"),
                                               field("iterations"), field("lambda_"));
    py::setattr(self, "w", fit[0]);
    py::setattr(self, "b", fit[1]);
    py::setattr(self, "J_history", fit[2]);
    return field("ml_phase_diagram_plot")(field("X_train"), field("y_train"), field("w"), field("b"),
                                          field("mean_vals"), field("scale_vals"));
}

}  // namespace

void register_main_ml_2d(py::module_& m) {
    std::string settings;
    for (auto [key, value] : default_settings())
        settings += (settings.empty() ? "" : ", ") + key.cast<std::string>() + "=" + py::repr(value).cast<std::string>();
    const std::string doc = "Two-input polynomial logistic classifier of a phase diagram.\n\n"
                            "Keywords (stored as attributes): " + settings + ";\n"
                            "w, b, mean_vals, scale_vals, X_train, y_train, J_history start as None and are set by train().";
    py::object cls = make_plain_class(m.attr("__name__"), "_Main_ML_2D", "_Main_ML_2D", doc.c_str());
    add_init(cls, "_Main_ML_2D", &init_classifier,
             "Stores the thirteen settings as attributes; other keywords are ignored.");
    add_method(
        cls, "sigmoid1", [](py::object, py::handle z) { return ml_ops::sigmoid(z); }, py::arg("z"),
        "1 / (1 + exp(-z)), element-wise.");
    add_method(
        cls, "scale_inputs",
        [](py::object self, py::object X) {
            return ml_ops::scale_inputs(X, ml_ops::scaling_method(self.attr("method"), true));
        },
        py::arg("X"), "(X_normalized, mean_vals, scale_vals) by the instance's method.");
    add_method(
        cls, "descale_inputs",
        [](py::object self, py::handle X_normalized, py::handle mean_vals, py::handle scale_vals) {
            return ml_ops::descale_inputs(X_normalized, mean_vals, scale_vals,
                                          ml_ops::scaling_method(self.attr("method"), false));
        },
        py::arg("X_normalized"), py::arg("mean_vals"), py::arg("scale_vals"),
        "X_normalized * scale_vals + mean_vals.");
    add_method(
        cls, "map_feature1",
        [](py::object self, py::handle X2, py::handle X1) {
            return ml_ops::map_feature1(X2, X1, integer_number(self.attr("poly_degree"), "poly_degree"));
        },
        py::arg("X2"), py::arg("X1"), "Monomials of degree 1..poly_degree; columns u^k, ..., v^k with u = X2.");
    add_method(
        cls, "logistic_loss",
        [](py::object self, py::handle X, py::handle y, py::handle w, py::handle b, py::args) {
            return logistic_loss(self, X, y, w, b);
        },
        py::arg("X"), py::arg("y"), py::arg("w"), py::arg("b"), "Mean cross-entropy; further arguments are ignored.");
    add_method(cls, "logistic_loss_reg", &logistic_loss_reg, py::arg("X"), py::arg("y"), py::arg("w"), py::arg("b"),
               py::arg("lambda_") = 1, "Mean cross-entropy plus lambda_ * sum(w**2) / (2 m).");
    add_method(cls, "compute_gradient", &compute_gradient, py::arg("X"), py::arg("y"), py::arg("w"), py::arg("b"),
               py::arg("lambda_") = 1, "(dj_db, dj_dw), bias gradient first.");
    add_method(
        cls, "fit_weights",
        [](py::object, py::object X, py::object y, py::object w_in, py::object b_in, py::object cost_function,
           py::object gradient_function, py::object alpha, py::object num_iters, py::object lambda_) {
            return ml_descent::fit_weights(X, y, w_in, b_in, cost_function, gradient_function, alpha, num_iters,
                                           lambda_);
        },
        py::arg("X"), py::arg("y"), py::arg("w_in"), py::arg("b_in"), py::arg("cost_function"),
        py::arg("gradient_function"), py::arg("alpha"), py::arg("num_iters"), py::arg("lambda_"),
        "Batch gradient descent; returns (w, b, J_history, w_history).");
    add_method(cls, "train", &train, py::arg("X_train_raw"), py::arg("y_train"),
               "Scale, expand, fit; returns the decision grid (X1_orig, X2_orig, P).");
    add_method(cls, "ml_phase_diagram_plot", &ml_phase_diagram_plot, py::arg("X_train"), py::arg("y_train"),
               py::arg("w"), py::arg("b"), py::arg("mean_vals"), py::arg("scale_vals"),
               "The 400 x 400 decision grid (X1_orig, X2_orig, P) of fitted weights.");
    m.attr("_Main_ML_2D") = cls;
}

}  // namespace velmora::bind
