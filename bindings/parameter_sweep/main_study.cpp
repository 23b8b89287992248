// The module's fixed study (what running it as a program does): a 2 x 2 grid
// of C2H2 mole fraction and temperature with Puretzky surface kinetics, its
// results file, and the contour map written beside the file as PNG.
#include "parameter_sweep/study_binding.hpp"

namespace velmora::bind::sweep {

namespace {

py::object run_fixed_study() {
    py::module_ module = py::module_::import(kModuleName);
    // The fixed study names every setting; all but these two are the defaults
    // of the settings table.
    py::object wrapper = module.attr("Mapping_Wrapper")(
        py::arg("total_data_points") = 4, py::arg("pressure_constant") = 0.001, py::arg("lambda_") = 0.001,
        py::arg("surface_kinetics_type") = "Surface_Kinetics_Puretzky_etal_2005");
    module.attr("wrapper") = wrapper;
    module.attr("results") = wrapper.attr("run_parametric_study")();
    std::string figure = text_of(wrapper.attr("last_generated_filename"));
    figure = figure.substr(0, figure.size() - 4) + ".png";  // beside the results file, ".csv" replaced
    wrapper.attr("parametricstudyvisualizer")(py::arg("save_path") = figure);
    return wrapper;
}

// Runs the fixed study with output_dir as the working directory (the study
// writes its results file into the current directory), restoring it after.
py::object main_study(py::object output_dir) {
    if (output_dir.is_none()) return run_fixed_study();
    return py::module_::import("velmora._folders").attr("call_in")(output_dir, py::cpp_function(&run_fixed_study));
}

}  // namespace

void register_main_study(py::module_& m) {
    m.def("main", &main_study, py::arg("output_dir") = py::none(),
          "Runs the module's fixed P&T study (2 x 2 grid, Puretzky surface kinetics) in output_dir (default: the "
          "current directory): results CSV, then the contour map shown and written beside it as PNG. Returns the "
          "Mapping_Wrapper.");
}

}  // namespace velmora::bind::sweep
