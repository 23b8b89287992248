// Mapping_Wrapper.InternalParametricStudyVisualizer and the wrapper's
// parametricstudyvisualizer: results file -> labels -> classifier -> contour
// map with the phase boundary -> printed summary.
#include <string>

#include "common/plain_class.hpp"
#include "parameter_sweep/study_binding.hpp"
#include "study/wall_labels.hpp"

namespace velmora::bind::sweep {

namespace {

constexpr double kLengthColourMax = 1e-5;  // top of the colour scale, in L_cnt_avg units (m)

void init_visualizer(py::object self, py::dict ml_kwargs) {
    py::setattr(self, "vmax", py::float_(kLengthColourMax));
    py::setattr(self, "data_loader", study_class("DataLoader")());
    py::setattr(self, "data_processor", py::none());
    py::object kwargs_copy = py::module_::import("copy").attr("copy")(ml_kwargs);
    py::setattr(self, "ml_classifier", study_class("MLClassifier")(**kwargs_copy));
    py::setattr(self, "plotter", study_class("ContourPlotter")());
}

// pyplot.show(): opens the window where a display exists and waits for it.
// On a non-interactive backend (Agg, chosen on a machine without a display)
// it returns at once; matplotlib versions that warn there that the figure
// cannot be shown have that one warning silenced, so a headless run is quiet.
void show_figures() {
    py::object warnings = py::module_::import("warnings");
    py::object guard = warnings.attr("catch_warnings")();
    guard.attr("__enter__")();
    try {
        warnings.attr("filterwarnings")("ignore", py::arg("message") = ".*non-interactive.*",
                                        py::arg("category") = py::module_::import("builtins").attr("UserWarning"));
        module_global("plt").attr("show")();
    } catch (...) {
        guard.attr("__exit__")(py::none(), py::none(), py::none());
        throw;
    }
    guard.attr("__exit__")(py::none(), py::none(), py::none());
}

void run_analysis(py::object self, py::object filename, py::object save_path) {
    py::object loader = self.attr("data_loader");
    py::object df = loader.attr("load_data")(filename);
    py::sequence ranges = loader.attr("get_data_ranges")();
    py::object x = ranges[0], y = ranges[1], z = ranges[2];

    py::setattr(self, "data_processor", study_class("DataProcessor")(df));
    py::object processor = self.attr("data_processor");
    processor.attr("filter_data")();
    py::sequence ml_data = processor.attr("prepare_ml_data")();
    py::object x_filtered = ml_data[0];

    py::object classifier = self.attr("ml_classifier");
    classifier.attr("train_classifier")(ml_data[2], ml_data[3]);
    py::object plotter = self.attr("plotter");
    py::sequence grid = plotter.attr("create_interpolation_grid")(x, y, z);
    py::object P_extended = classifier.attr("extend_prediction")(grid[0], grid[1]);
    plotter.attr("create_contour_plot")(grid[0], grid[1], grid[2], P_extended, self.attr("vmax"));
    plotter.attr("customize_plot")();
    self.attr("display_results")(df, x, y, z, x_filtered);
    if (!save_path.is_none()) module_global("plt").attr("savefig")(save_path);
    show_figures();
}

// The count of the "Enclosed region" line is the number of runs below the
// wall-number threshold (the rows filter_data kept), as the line says; without
// a filtered frame it falls back to the entries of x_filtered.
std::size_t runs_below_threshold(py::handle self, py::handle x_filtered) {
    py::object processor = py::getattr(self, "data_processor", py::none());
    if (!processor.is_none()) {
        py::object filtered = py::getattr(processor, "filtered_df", py::none());
        if (!filtered.is_none()) return py::len(filtered);
    }
    return py::len(x_filtered);
}

void display_results(py::object self, py::object df, py::object x, py::object y, py::object z, py::object x_filtered) {
    study::MapSummary s;
    s.below_threshold_runs = runs_below_threshold(self, x_filtered);
    s.data_points = py::len(df);
    s.p_min = text_of(x.attr("min")());
    s.p_max = text_of(x.attr("max")());
    s.t_min = text_of(y.attr("min")());
    s.t_max = text_of(y.attr("max")());
    s.length_min = real_number(z.attr("min")(), "L_cnt_avg minimum");
    s.length_max = real_number(z.attr("max")(), "L_cnt_avg maximum");
    print_lines(study::map_summary_lines(s));
}

void parametricstudyvisualizer(py::object self, py::object filename, py::object save_path) {
    if (filename.is_none()) {
        filename = self.attr("last_generated_filename");
        if (filename.is_none())
            throw py::value_error("No parametric study has been run yet. Please run run_parametric_study() first.");
        velmora::print_line("Using last generated file: " + text_of(filename));
    }
    py::object visualizer = study_class("InternalParametricStudyVisualizer")(**self.attr("Velmora_kwargs"));
    if (save_path.is_none()) {
        visualizer.attr("run_analysis")(filename);
    } else {
        visualizer.attr("run_analysis")(filename, py::arg("save_path") = save_path);
    }
}

}  // namespace

void register_visualizer(py::object wrapper_cls) {
    py::object module_name = py::str(kModuleName);
    const std::string qualname = "Mapping_Wrapper.InternalParametricStudyVisualizer";
    py::object cls = make_plain_class(module_name, "InternalParametricStudyVisualizer", qualname,
                                      "Main class that orchestrates the entire visualization process");
    add_init(cls, module_name, qualname, "**ml_kwargs", "ml_kwargs",
             py::cpp_function(&init_visualizer, py::name("_initialise")),
             "A loader, a classifier configured by the keywords, a plotter; vmax = 1e-5.");
    add_method(cls, "run_analysis", &run_analysis, py::arg("filename"), py::arg("save_path") = py::none(),
               "Load, label, train, interpolate, plot, print the summary; the figure is also written to "
               "save_path when given (format from its extension), then shown where a display exists.");
    add_method(cls, "display_results", &display_results, py::arg("df"), py::arg("x"), py::arg("y"), py::arg("z"),
               py::arg("x_filtered"), "Prints the summary of the map.");
    py::setattr(wrapper_cls, "InternalParametricStudyVisualizer", cls);

    add_method(wrapper_cls, "parametricstudyvisualizer", &parametricstudyvisualizer,
               py::arg("filename") = py::none(), py::arg("save_path") = py::none(),
               "Contour map of a results file (default: the last study's); also saved to save_path when given.");
}

}  // namespace velmora::bind::sweep
