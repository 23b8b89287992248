// Mapping_Wrapper.InternalParametricStudyVisualizer and the wrapper's
// parametricstudyvisualizer: results file -> labels -> classifier -> contour
// map with the phase boundary -> printed summary.
#include <string>

#include "common/plain_class.hpp"
#include "parameter_sweep/study_binding.hpp"

namespace velmora::bind::sweep {

namespace {

constexpr double kLengthColourMax = 1e-5;  // top of the colour scale, in L_cnt_avg units (m)

void init_visualizer(py::object self, py::kwargs ml_kwargs) {
    py::setattr(self, "vmax", py::float_(kLengthColourMax));
    py::setattr(self, "data_loader", study_class("DataLoader")());
    py::setattr(self, "data_processor", py::none());
    py::setattr(self, "ml_classifier", study_class("MLClassifier")(**ml_kwargs));  // ** hands over a copy
    py::setattr(self, "plotter", study_class("ContourPlotter")());
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
    results_report().attr("map_summary")(runs_below_threshold(self, x_filtered), df, x, y, z);
}

void parametricstudyvisualizer(py::object self, py::object filename, py::object save_path) {
    if (filename.is_none()) {
        filename = self.attr("last_generated_filename");
        if (filename.is_none())
            throw py::value_error("No parametric study has been run yet. Please run run_parametric_study() first.");
        velmora::print_line("Using last generated file: " + text_of(filename));
    }
    py::object visualizer = study_class("InternalParametricStudyVisualizer")(**self.attr("Velmora_kwargs"));
    py::object run_analysis = visualizer.attr("run_analysis");
    if (save_path.is_none()) run_analysis(filename);  // a replaced run_analysis may not take save_path
    else run_analysis(filename, py::arg("save_path") = save_path);
}

}  // namespace

void register_visualizer(py::object wrapper_cls) {
    py::object cls = make_plain_class(py::str(kModuleName), "InternalParametricStudyVisualizer",
                                      "Mapping_Wrapper.InternalParametricStudyVisualizer",
                                      "Main class that orchestrates the entire visualization process");
    add_init(cls, "InternalParametricStudyVisualizer", &init_visualizer,
             "A loader, a classifier configured by the keywords, a plotter; vmax = 1e-5.");
    // The pipeline of the visualiser's parts is Python's (_map_analysis): each
    // step is one call of a part (pandas, the classifier, pyplot).
    add_method(
        cls, "run_analysis",
        [](py::object self, py::object filename, py::object save_path) {
            module_global("_map_analysis").attr("run_analysis")(self, filename, save_path);
        },
        py::arg("filename"), py::arg("save_path") = py::none(),
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
