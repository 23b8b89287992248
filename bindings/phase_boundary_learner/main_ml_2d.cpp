// _Main_ML_2D: settings and fitted state live in the instance's attributes (so
// users may read and replace them freely); every method reads the attributes
// it needs at call time and runs the arithmetic in the core.
#include <pybind11/numpy.h>

#include <array>
#include <optional>

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
    return ml_ops::logistic_loss_with(p, ml_ops::python_sigmoid(self, "sigmoid1"));
}

py::object logistic_loss_reg(py::object self, py::handle X, py::handle y, py::handle w, py::handle b,
                             py::handle lambda_) {
    py::object cost;
    if (resolves_native(self, "logistic_loss")) {
        cost = py::float_(logistic_loss(self, X, y, w, b));
    } else {
        cost = self.attr("logistic_loss")(X, y, w, b);
    }
    const ml_ops::Problem p = ml_ops::problem(X, y, w, b);
    const double reg = ml::squared_norm(p.w);
    return cost + py::float_((reg * real_number(lambda_, "lambda_")) / (2.0 * static_cast<double>(p.X.rows)));
}

py::tuple compute_gradient(py::object self, py::handle X, py::handle y, py::handle w, py::handle b,
                           py::handle lambda_) {
    const ml_ops::Problem p = ml_ops::problem(X, y, w, b);
    const double lambda = real_number(lambda_, "lambda_");
    if (resolves_native(self, "sigmoid1")) return ml_ops::compute_gradient(p, lambda);
    return ml_ops::compute_gradient_with(p, lambda, ml_ops::python_sigmoid(self, "sigmoid1"));
}

py::tuple grid_to_python(const ml::GridAxes& axes, py::object physical, const ml::Matrix& logit) {
    const auto N = static_cast<py::ssize_t>(axes.u.size());
    const auto M = static_cast<py::ssize_t>(axes.v.size());
    py::object column = py::module_::import("builtins").attr("slice")(py::none());
    py::object u = physical[py::make_tuple(column, 0)].attr("reshape")(M, N);
    py::object v = physical[py::make_tuple(column, 1)].attr("reshape")(M, N);
    return py::make_tuple(u, v, to_numpy(logit));
}

py::tuple ml_phase_diagram_plot(py::object self, py::handle X_train, py::handle /*y_train*/, py::handle w,
                                py::handle b, py::handle mean_vals, py::handle scale_vals) {
    const DoubleArray Xa = doubles(X_train);
    const ml::GridAxes axes = ml::grid_axes(matrix_view(Xa));
    const ml::Matrix nodes = ml::grid_nodes(axes);
    py::object physical;
    if (resolves_native(self, "descale_inputs")) {
        physical = ml_ops::descale_inputs(to_numpy(nodes), mean_vals, scale_vals,
                                          ml_ops::scaling_method(self.attr("method"), false));
    } else {
        physical = self.attr("descale_inputs")(to_numpy(nodes), mean_vals, scale_vals);
    }
    const long n_order = static_cast<long>(integer_number(self.attr("n_order"), "n_order"));
    const DoubleArray wa = doubles(w);
    const ml::Matrix logit = ml::grid_logit(axes, vector_view(wa, "w"), real_number(b, "b"), n_order);
    return grid_to_python(axes, physical, logit);
}

// Every method train reaches through the instance.
constexpr std::array<const char*, 9> kTrainChain = {"scale_inputs",   "map_feature1",     "fit_weights",
                                                    "logistic_loss_reg", "compute_gradient", "logistic_loss",
                                                    "sigmoid1",       "ml_phase_diagram_plot", "descale_inputs"};

py::object initial_draws(std::size_t n) {
    return py::module_::import("numpy").attr("random").attr("rand")(n);
}

// train through the instance's (possibly overridden) methods.
py::tuple train_through_methods(py::object self, py::object X_raw, py::object y_train) {
    py::tuple scaled = self.attr("scale_inputs")(X_raw);
    if (scaled.size() != 3) throw ValueError("scale_inputs must return (X_normalized, mean_vals, scale_vals)");
    py::setattr(self, "mean_vals", scaled[1]);
    py::setattr(self, "scale_vals", scaled[2]);
    py::object column = py::module_::import("builtins").attr("slice")(py::none());
    py::object Xn = scaled[0];
    py::setattr(self, "X_train",
                self.attr("map_feature1")(Xn[py::make_tuple(column, 0)], Xn[py::make_tuple(column, 1)]));
    py::setattr(self, "y_train", y_train);
    py::object n_features = self.attr("X_train").attr("shape")[py::int_(1)];
    py::object w0 = initial_draws(n_features.cast<std::size_t>()) - py::float_(0.5);
    py::tuple fit = self.attr("fit_weights")(self.attr("X_train"), self.attr("y_train"), w0, py::int_(0),
                                             self.attr("logistic_loss_reg"), self.attr("compute_gradient"),
                                             self.attr("alpha"), self.attr("iterations"), self.attr("lambda_"));
    py::setattr(self, "w", fit[0]);
    py::setattr(self, "b", fit[1]);
    py::setattr(self, "J_history", fit[2]);
    return self.attr("ml_phase_diagram_plot")(self.attr("X_train"), self.attr("y_train"), self.attr("w"),
                                              self.attr("b"), self.attr("mean_vals"), self.attr("scale_vals"));
}

// The settings of the instance as the core reads them, or nothing when one is
// not a plain number (the method-by-method path then reports it as Python would).
std::optional<ml::ClassifierSettings> native_settings(py::handle self) {
    const auto number = [&](const char* key) { return ml_descent::try_double(self.attr(key)); };
    const auto lambda = number("lambda_"), alpha = number("alpha");
    if (!lambda || !alpha) return std::nullopt;
    ml::ClassifierSettings s;
    if (!py::isinstance<py::str>(self.attr("method"))) throw ValueError(ml::kScalingMethodError);
    s.method = self.attr("method").cast<std::string>();
    s.lambda = *lambda;
    s.alpha = *alpha;
    s.iterations = integer_number(self.attr("iterations"), "iterations");
    s.poly_degree = integer_number(self.attr("poly_degree"), "poly_degree");
    s.n_order = integer_number(self.attr("n_order"), "n_order");
    return s;
}

py::tuple train(py::object self, py::object X_raw, py::object y_train) {
    bool native = true;
    for (const char* name : kTrainChain) native = native && resolves_native(self, name);
    const auto settings = native ? native_settings(self) : std::nullopt;
    const auto Xa = try_doubles(X_raw);
    const auto ya = try_doubles(y_train);
    if (!settings || !Xa || !ya || Xa->ndim() != 2 || ya->ndim() != 1)
        return train_through_methods(self, X_raw, y_train);

    ml::PhaseClassifier classifier(*settings);  // rejects an unknown method first
    const ml::MatrixView raw = matrix_view(*Xa);
    const DoubleArray draws = doubles(initial_draws(classifier.feature_count()));
    classifier.fit(raw, vector_view(*ya, "y_train"), vector_view(draws, "draws"));

    const ml::ColumnScaling& sc = classifier.scaling();
    if (settings->method == "no_normalization") {
        py::setattr(self, "mean_vals", py::int_(0));
        py::setattr(self, "scale_vals", py::int_(1));
    } else {
        py::setattr(self, "mean_vals", to_numpy(std::span<const double>(sc.offset)));
        py::setattr(self, "scale_vals", to_numpy(std::span<const double>(sc.divisor)));
    }
    py::setattr(self, "X_train", to_numpy(classifier.features()));
    py::setattr(self, "y_train", y_train);
    py::setattr(self, "w", to_numpy(std::span<const double>(classifier.weights())));
    py::object b = settings->iterations > 0 ? py::object(py::float_(classifier.bias())) : py::object(py::int_(0));
    py::setattr(self, "b", b);
    py::list J_history;
    for (double c : classifier.cost_history()) J_history.append(py::float_(c));
    py::setattr(self, "J_history", J_history);

    const ml::DecisionGrid grid = classifier.decision_grid();
    return py::make_tuple(to_numpy(grid.u_physical), to_numpy(grid.v_physical), to_numpy(grid.logit));
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
