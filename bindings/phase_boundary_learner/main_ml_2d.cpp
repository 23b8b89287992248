// _Main_ML_2D: settings and fitted state live in the instance's attributes (so
// users may read and replace them freely); every method reads the attributes
// it needs at call time and runs the arithmetic in the core. The methods call
// one another through the instance, so a method replaced in a subclass or on an
// instance is the one used; where the methods involved are the class's own, the
// work stays in the core (the whole descent of train included).
#include <pybind11/numpy.h>

#include <map>
#include <string>

#include "common/conversions.hpp"
#include "common/errors.hpp"
#include "common/plain_class.hpp"
#include "ml/phase_classifier.hpp"
#include "ml_common/descent_ops.hpp"
#include "ml_common/learning_ops.hpp"

namespace velmora::bind {

namespace {

using namespace ml_ops;
using namespace pybind11::literals;

// The compiled functions of the class body by name, as registered (so that a
// replacement set on the class itself later is not taken for one of them).
std::map<std::string, PyObject*>& own_functions() {
    static std::map<std::string, PyObject*> functions;
    return functions;
}

// The instance f is bound to when f is the class's compiled method `name`; else null.
PyObject* bound_instance(py::handle f, const char* name) {
    if (!PyMethod_Check(f.ptr()) || PyMethod_GET_FUNCTION(f.ptr()) != own_functions()[name]) return nullptr;
    return PyMethod_GET_SELF(f.ptr());
}

// True when self.<name> is the class's compiled method bound to self.
bool uses_own(py::handle self, const char* name) {
    return bound_instance(py::getattr(self, name, py::none()), name) == self.ptr();
}

// The instance's logistic function for the core: empty (the compiled one)
// unless sigmoid1 is replaced; then self.sigmoid1, looked up at each call.
ml::LogisticFunction sigmoid_of(py::object self) {
    if (uses_own(self, "sigmoid1")) return {};
    return [self](double z) { return real_number(self.attr("sigmoid1")(z), "sigmoid1(z)"); };
}

// The core may evaluate a descent's steps itself when the cost is an instance's
// own logistic_loss_reg and the gradient its own compute_gradient, and nothing
// they call through that instance (logistic_loss, sigmoid1) is replaced.
bool own_descent_steps(py::handle cost, py::handle gradient) {
    PyObject* self = bound_instance(cost, "logistic_loss_reg");
    return self && bound_instance(gradient, "compute_gradient") == self && uses_own(self, "logistic_loss") &&
           uses_own(self, "sigmoid1");
}

ml::ScalingMethod method_setting(py::handle self, bool allow_no_normalization) {
    return scaling_method(py::getattr(self, "method"), allow_no_normalization);
}

long degree_setting(py::handle self, const char* name) {
    return static_cast<long>(integer_number(py::getattr(self, name), name));
}

// The six settings with the core's defaults, in the order they are stored.
py::dict default_settings() {
    const ml::ClassifierSettings d;
    return py::dict("method"_a = d.method, "lambda_"_a = d.lambda, "iterations"_a = d.iterations,
                    "alpha"_a = d.alpha, "poly_degree"_a = d.poly_degree, "n_order"_a = d.n_order);
}

void init_classifier(py::object self, py::kwargs kwargs) {
    py::dict values = default_settings();
    for (const char* key : {"w", "b", "mean_vals", "scale_vals", "X_train", "y_train", "J_history"})
        values[key] = py::none();
    for (auto [key, value] : values)
        py::setattr(self, key,
                    kwargs.contains(key) ? py::object(kwargs[key]) : py::reinterpret_borrow<py::object>(value));
}

py::object logistic_loss_reg(py::object self, py::handle X, py::handle y, py::handle w, py::handle b,
                             py::handle lambda_) {
    const py::object cost = py::getattr(self, "logistic_loss")(X, y, w, b);
    const Problem p = problem(X, y, w, b);
    const double reg = ml::squared_norm(p.w);
    return cost + py::float_((reg * real_number(lambda_, "lambda_")) / (2.0 * static_cast<double>(p.X.rows)));
}

py::tuple ml_phase_diagram_plot(py::object self, py::handle X_train, py::handle /*y_train*/, py::handle w,
                                py::handle b, py::handle mean_vals, py::handle scale_vals) {
    const FloatArray Xa = float_array(X_train, "X_train");
    const ml::GridAxes axes = ml::grid_axes(matrix_view(Xa, "X_train"));
    const FloatArray nodes = float_array(
        py::getattr(self, "descale_inputs")(to_numpy(ml::grid_nodes(axes)), mean_vals, scale_vals), "descale_inputs");
    const ml::NodeGrids physical = ml::node_grids(matrix_view(nodes, "descale_inputs"), axes);
    const long n_order = degree_setting(self, "n_order");
    const FloatArray wa = float_array(w, "w");
    const ml::Matrix logit = ml::grid_logit(axes, vector_view(wa, "w"), real_number(b, "b"), n_order);
    return py::make_tuple(to_numpy(physical.u), to_numpy(physical.v), to_numpy(logit));
}

// Uniform in [-0.5, 0.5), drawn from numpy's global generator so that np.random.seed fixes them.
py::array_t<double> initial_weights(py::ssize_t n) {
    std::vector<double> w =
        real_vector(py::module_::import("numpy.random").attr("rand")(n), "numpy.random.rand(n)");
    for (double& x : w) x -= 0.5;
    return to_numpy(w);
}

// Each step through the instance, so that a replaced method is the one used.
py::object train(py::object self, py::object X_raw, py::object y_train) {
    const auto member = [&](const char* name) { return py::getattr(self, name); };  // self.<name>
    const py::tuple scaled = member("scale_inputs")(X_raw);
    if (scaled.size() != 3) throw InvalidValue("scale_inputs must return (X_normalized, mean_vals, scale_vals)");
    py::setattr(self, "mean_vals", scaled[1]);
    py::setattr(self, "scale_vals", scaled[2]);
    const py::slice all{py::none(), py::none(), py::none()};
    const py::object Xn = scaled[0];
    const py::object X_train = member("map_feature1")(Xn[py::make_tuple(all, 0)], Xn[py::make_tuple(all, 1)]);
    py::setattr(self, "X_train", X_train);
    py::setattr(self, "y_train", y_train);
    const py::array_t<double> w0 = initial_weights(float_matrix(X_train, "X_train").shape(1));
    const py::tuple fit = member("fit_weights")(X_train, y_train, w0, 0, member("logistic_loss_reg"),
                                                member("compute_gradient"), member("alpha"), member("iterations"),
                                                member("lambda_"));
    py::setattr(self, "w", fit[0]);
    py::setattr(self, "b", fit[1]);
    py::setattr(self, "J_history", fit[2]);
    return member("ml_phase_diagram_plot")(X_train, y_train, fit[0], fit[1], scaled[1], scaled[2]);
}

}  // namespace

void register_main_ml_2d(py::module_& m) {
    std::string settings;
    for (auto [key, value] : default_settings())
        settings += (settings.empty() ? "" : ", ") + key.cast<std::string>() + "=" +
                    py::repr(value).cast<std::string>();
    const std::string doc = "Two-input polynomial logistic classifier of a phase diagram.\n\n"
                            "Keywords (stored as attributes): " + settings + ";\n"
                            "w, b, mean_vals, scale_vals, X_train, y_train, J_history start as None and are set by train().";
    py::object cls = make_plain_class(m.attr("__name__"), "_Main_ML_2D", "_Main_ML_2D", doc.c_str());
    add_init(cls, "_Main_ML_2D", &init_classifier,
             "Stores the thirteen settings as attributes; other keywords are ignored.");
    // Adds a compiled method and records its function (see own_functions).
    const auto method = [&](const char* name, auto&& f, const auto&... extra) {
        add_method(cls, name, std::forward<decltype(f)>(f), extra...);
        own_functions()[name] = py::getattr(cls, name).release().ptr();
    };
    method(
        "sigmoid1", [](py::object, py::handle z) { return sigmoid(z); }, py::arg("z"),
        "1 / (1 + exp(-z)), element-wise.");
    method(
        "scale_inputs", [](py::object self, py::object X) { return scale_inputs(X, method_setting(self, true)); },
        py::arg("X"), "(X_normalized, mean_vals, scale_vals) by the instance's method.");
    method(
        "descale_inputs",
        [](py::object self, py::handle X_normalized, py::handle mean_vals, py::handle scale_vals) {
            return descale_inputs(X_normalized, mean_vals, scale_vals, method_setting(self, false));
        },
        py::arg("X_normalized"), py::arg("mean_vals"), py::arg("scale_vals"), "X_normalized * scale_vals + mean_vals.");
    method(
        "map_feature1",
        [](py::object self, py::handle X2, py::handle X1) {
            return map_feature1(X2, X1, degree_setting(self, "poly_degree"));
        },
        py::arg("X2"), py::arg("X1"), "Monomials of degree 1..poly_degree; columns u^k, ..., v^k with u = X2.");
    method(
        "logistic_loss",
        [](py::object self, py::handle X, py::handle y, py::handle w, py::handle b, py::args) {
            const Problem p = problem(X, y, w, b);
            return ml::logistic_loss(p.X, p.y, p.w, p.b, sigmoid_of(self));
        },
        py::arg("X"), py::arg("y"), py::arg("w"), py::arg("b"), "Mean cross-entropy; further arguments are ignored.");
    method("logistic_loss_reg", &logistic_loss_reg, py::arg("X"), py::arg("y"), py::arg("w"), py::arg("b"),
           py::arg("lambda_") = 1, "Mean cross-entropy plus lambda_ * sum(w**2) / (2 m).");
    method(
        "compute_gradient",
        [](py::object self, py::handle X, py::handle y, py::handle w, py::handle b, py::handle lambda_) {
            const Problem p = problem(X, y, w, b);
            const double lambda = real_number(lambda_, "lambda_");
            const ml::Gradient g = ml::compute_gradient(p.X, p.y, p.w, p.b, lambda, sigmoid_of(self));
            return py::make_tuple(g.db, to_numpy(g.dw));
        },
        py::arg("X"), py::arg("y"), py::arg("w"), py::arg("b"), py::arg("lambda_") = 1,
        "(dj_db, dj_dw), bias gradient first.");
    method(
        "fit_weights",
        [](py::object, py::object X, py::object y, py::object w_in, py::object b_in, py::object cost_function,
           py::object gradient_function, py::object alpha, py::object num_iters, py::object lambda_) {
            return ml_descent::fit_weights(X, y, w_in, b_in, cost_function, gradient_function, alpha, num_iters,
                                           lambda_, own_descent_steps(cost_function, gradient_function));
        },
        py::arg("X"), py::arg("y"), py::arg("w_in"), py::arg("b_in"), py::arg("cost_function"),
        py::arg("gradient_function"), py::arg("alpha"), py::arg("num_iters"), py::arg("lambda_"),
        "Batch gradient descent; returns (w, b, J_history, w_history).");
    method("train", &train, py::arg("X_train_raw"), py::arg("y_train"),
           "Scale, expand, fit; returns the decision grid (X1_orig, X2_orig, P).");
    method("ml_phase_diagram_plot", &ml_phase_diagram_plot, py::arg("X_train"), py::arg("y_train"), py::arg("w"),
           py::arg("b"), py::arg("mean_vals"), py::arg("scale_vals"),
           "The 400 x 400 decision grid (X1_orig, X2_orig, P) of fitted weights.");
    m.attr("_Main_ML_2D") = cls;
}

}  // namespace velmora::bind
