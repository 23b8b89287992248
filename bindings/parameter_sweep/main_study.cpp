// The module's fixed study (what running it as a program does): a 2 x 2 grid
// of C2H2 mole fraction and temperature, its results file, and the contour map
// written beside the file as PNG. `python -m velmora` calls main().
#include "common/plain_class.hpp"
#include "parameter_sweep/study_binding.hpp"

namespace velmora::bind::sweep {

namespace {

py::object run_fixed_study() {
    py::module_ module = py::module_::import(kModuleName);
    py::object wrapper = module.attr("Mapping_Wrapper")(
        py::arg("map_requested") = "P&T", py::arg("total_data_points") = 4, py::arg("pressure_range_min") = 0.001,
        py::arg("pressure_range_max") = 0.01, py::arg("pressure_constant") = 0.001,
        py::arg("temperature_range_min") = 800, py::arg("temperature_range_max") = 1200,
        py::arg("temperature_constant") = 873, py::arg("dp_initial_premade_range_min") = 1e-8,
        py::arg("dp_initial_premade_range_max") = 4e-8, py::arg("dp_initial_premade_constant") = 1.5e-8,
        py::arg("reactor_length_range_min") = 0.3, py::arg("reactor_length_range_max") = 0.9,
        py::arg("reactor_length_range_constant") = 0.6, py::arg("lambda_") = 0.001,
        py::arg("surface_kinetics_type") = "Surface_Kinetics_Puretzky_etal_2005");
    module.attr("wrapper") = wrapper;
    module.attr("results") = wrapper.attr("run_parametric_study")();

    py::object csv_name = wrapper.attr("last_generated_filename");
    py::object stem = py::module_::import("os.path").attr("splitext")(csv_name)[py::int_(0)];
    py::object figure_name = stem + py::str(".png");
    wrapper.attr("parametricstudyvisualizer")(py::arg("save_path") = figure_name);
    return wrapper;
}

// Runs the fixed study with output_dir as the working directory (the study
// writes its results file into the current directory), restoring it after.
py::object main_study(py::object output_dir) {
    if (output_dir.is_none()) return run_fixed_study();
    py::object os = py::module_::import("os");
    py::object previous = os.attr("getcwd")();
    os.attr("chdir")(output_dir);
    try {
        py::object wrapper = run_fixed_study();
        os.attr("chdir")(previous);
        return wrapper;
    } catch (...) {
        os.attr("chdir")(previous);
        throw;
    }
}

}  // namespace

void register_main_study(py::module_& m) {
    m.def("main", &main_study, py::arg("output_dir") = py::none(),
          "Runs the module's fixed P&T study (2 x 2 grid, Puretzky surface kinetics) in output_dir (default: the "
          "current directory): results CSV, then the contour map shown and written beside it as PNG. Returns the "
          "Mapping_Wrapper.");
}

}  // namespace velmora::bind::sweep
