#include <pybind11/pybind11.h>

#include "common/module_setup.hpp"
#include "parameter_sweep/study_binding.hpp"

namespace py = pybind11;

namespace {

// The study module binds at import only the names its code reads: np, pd,
// plt, griddata, copy, os, MovingSectionalModel, phase_boundary_learner, and
// its private modules of library calls (study_binding.hpp). The learning package's
// standalone functions and helper modules are imported too (this module does
// not load without them) but not bound, as are the few library modules a
// study never calls.
void bind_imports(py::module_& m) {
    velmora::bind::bind_imports(
        m, {{"np", "numpy"},
            {"pd", "pandas"},
            {"plt", "matplotlib.pyplot"},
            {"griddata", "scipy.interpolate", "griddata"},
            {"copy", "copy"},
            {"os", "os"},
            {"MovingSectionalModel", "velmora.core.growth_simulator", "MovingSectionalModel"},
            {"phase_boundary_learner", "velmora.ml.phase_boundary_learner"},
            {"_results_file", "velmora.core._results_file"},
            {"_study_execution", "velmora.core._study_execution"},
            // The worker task parallel studies hand to their executor: (record, printed text).
            {"_run_study_point", "velmora.core._study_execution", "run_study_point"},
            {"_run_files", "velmora.core._run_files"},
            {"_results_report", "velmora.core._results_report"},
            {"_contour_map", "velmora.core._contour_map"},
            {"_map_analysis", "velmora.core._map_analysis"},
            {"_fixed_study", "velmora.core._fixed_study"},
            {"_study_settings_doc", "velmora.core._study_settings_doc"}});

    for (const char* required : {"velmora.ml.fit_weights", "velmora.ml.logistic_loss", "velmora.ml.scale_inputs",
                                 "velmora.ml.logistic_loss_reg", "velmora.ml.map_feature1",
                                 "velmora.ml.compute_gradient", "velmora.ml.sigmoid1", "velmora.ml.utils",
                                 "scipy.spatial", "matplotlib.patches", "matplotlib.colors"})
        py::module_::import(required);
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
    sweep::register_study_config(m, wrapper_cls);
    sweep::register_study_runner(wrapper_cls);
    sweep::register_boundary_study(m, wrapper_cls);
    sweep::register_result_analysis(wrapper_cls);
    sweep::register_contour_plotter(wrapper_cls);
    sweep::register_visualizer(wrapper_cls);
    sweep::register_main_study(m);
    sweep::register_study_points(m);
    sweep::register_single_run(m);
    sweep::register_run_outcomes(m);
}
