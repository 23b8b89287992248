#include <pybind11/pybind11.h>

#include "common/module_setup.hpp"
#include "parameter_sweep/study_binding.hpp"

namespace py = pybind11;

namespace {

// The names the study module binds at import. Most are only imported (they
// must load for this module to load); the study calls np, pd, plt, griddata,
// copy, MovingSectionalModel and phase_boundary_learner through these names.
void bind_imports(py::module_& m) {
    const auto from = [](const char* module, const char* name) { return py::module_::import(module).attr(name); };
    m.attr("np") = py::module_::import("numpy");
    m.attr("pd") = py::module_::import("pandas");
    m.attr("datetime") = from("datetime", "datetime");
    m.attr("traceback") = py::module_::import("traceback");
    m.attr("plt") = py::module_::import("matplotlib.pyplot");
    m.attr("os") = py::module_::import("os");
    m.attr("griddata") = from("scipy.interpolate", "griddata");
    m.attr("UnivariateSpline") = from("scipy.interpolate", "UnivariateSpline");
    m.attr("interp1d") = from("scipy.interpolate", "interp1d");
    m.attr("cdist") = from("scipy.spatial.distance", "cdist");
    m.attr("ConvexHull") = from("scipy.spatial", "ConvexHull");
    m.attr("Polygon") = from("matplotlib.patches", "Polygon");
    m.attr("warnings") = py::module_::import("warnings");
    m.attr("Normalize") = from("matplotlib.colors", "Normalize");
    m.attr("copy") = py::module_::import("copy");
    m.attr("math") = py::module_::import("math");

    m.attr("MovingSectionalModel") = from("velmora.core.growth_simulator", "MovingSectionalModel");
    m.attr("phase_boundary_learner") = py::module_::import("velmora.ml.phase_boundary_learner");
    m.attr("fit_weights") = from("velmora.ml.fit_weights", "fit_weights");
    m.attr("logistic_loss") = from("velmora.ml.logistic_loss", "logistic_loss");
    m.attr("scale_inputs") = from("velmora.ml.scale_inputs", "scale_inputs");
    m.attr("descale_inputs") = from("velmora.ml.scale_inputs", "descale_inputs");
    m.attr("logistic_loss_reg") = from("velmora.ml.logistic_loss_reg", "logistic_loss_reg");
    m.attr("map_feature1") = from("velmora.ml.map_feature1", "map_feature1");
    m.attr("compute_gradient") = from("velmora.ml.compute_gradient", "compute_gradient");
    py::module_::import("velmora.ml.sigmoid1");
    m.attr("sigmoid1") = from("velmora.ml", "sigmoid1");

    // Every public name of velmora.ml.utils, as a star import binds them.
    py::module_ utils = py::module_::import("velmora.ml.utils");
    if (py::hasattr(utils, "__all__")) {
        for (py::handle name : utils.attr("__all__")) m.attr(name) = utils.attr(name);
    } else {
        for (auto item : utils.attr("__dict__").cast<py::dict>()) {
            const std::string name = py::str(item.first);
            if (!name.empty() && name[0] != '_') m.attr(item.first) = item.second;
        }
    }
}

}  // namespace

PYBIND11_MODULE(parameter_sweep, m) {
    velmora::bind::setup_module(m);
    m.doc() =
        "Parametric study of the reactor model over a grid of two operating parameters, its results file, "
        "the wall-number classification and the contour map.";
    bind_imports(m);

    namespace sweep = velmora::bind::sweep;
    py::object wrapper_cls = sweep::register_mapping_wrapper(m);
    sweep::register_study_config(wrapper_cls);
    sweep::register_study_runner(wrapper_cls);
    sweep::register_result_analysis(wrapper_cls);
    sweep::register_contour_plotter(wrapper_cls);
    sweep::register_visualizer(wrapper_cls);
    sweep::register_main_study(m);
    sweep::register_study_points(m);
    sweep::register_single_run(m);
}
