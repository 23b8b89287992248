// Reading a results file back, labelling the runs by wall number and training
// the phase classifier: Mapping_Wrapper.DataLoader, .DataProcessor and
// .MLClassifier. The files are "P&T" studies; columns are read by name.
// Reading and printing the table is pandas' work (_results_report); which
// runs lie below the threshold is decided here.
#include <string>
#include <vector>

#include "common/plain_class.hpp"
#include "parameter_sweep/study_binding.hpp"
#include "study/wall_labels.hpp"

namespace velmora::bind::sweep {

namespace {

std::vector<double> column_values(py::handle frame, const char* column) {
    return real_vector(results_report().attr("column_values")(frame, column), column);
}

// ---- DataLoader ----------------------------------------------------------

void init_loader(py::object self) { py::setattr(self, "df", py::none()); }

py::object load_data(py::object self, py::object filename) {
    py::object df = results_report().attr("load_data")(filename);
    py::setattr(self, "df", df);
    return df;
}

py::object get_data_ranges(py::object self) {
    py::object df = self.attr("df");
    if (df.is_none()) return py::make_tuple(py::none(), py::none(), py::none());
    return results_report().attr("data_ranges")(df);
}

// ---- DataProcessor -------------------------------------------------------

void init_processor(py::object self, py::object dataframe) {
    py::setattr(self, "df", dataframe);
    py::setattr(self, "filtered_df", py::none());
    py::setattr(self, "wall_filter", py::none());
}

py::tuple filter_data(py::object self, py::object wall_threshold) {
    py::object df = self.attr("df");
    const std::vector<bool> below =
        study::below_wall_threshold(column_values(df, "wall_number_avg"), real_number(wall_threshold, "wall_threshold"));
    py::tuple selected = results_report().attr("rows_below")(df, below);
    py::setattr(self, "filtered_df", selected[0]);
    py::setattr(self, "wall_filter", selected[1]);

    const std::size_t count = study::count_below(below);
    print_lines({"", "Points with wall_number_avg < " + text_of(wall_threshold) + ": " + std::to_string(count),
                 "Filtered points (P, T, wall_number):"});
    if (count > 0) {
        const auto p = column_values(df, "P_parameter");
        const auto t = column_values(df, "T_parameter");
        const auto wall = column_values(df, "wall_number_avg");
        for (std::size_t i = 0; i < below.size(); ++i)
            if (below[i]) velmora::print_line(study::filtered_point_line(p[i], t[i], wall[i]));
    }
    return selected;
}

py::object prepare_ml_data(py::object self) {
    return results_report().attr("training_data")(self.attr("df"), self.attr("wall_filter"));
}

// ---- MLClassifier --------------------------------------------------------

void init_classifier(py::object self, py::kwargs ml_kwargs) {
    py::setattr(self, "ml_kwargs", ml_kwargs);
    for (const char* name : {"ml_classifier", "X1_orig", "X2_orig", "P"}) py::setattr(self, name, py::none());
}

py::tuple train_classifier(py::object self, py::object X_train_raw, py::object y_train) {
    const std::string rule(44, '=');
    print_lines({rule, "Machine Learning Classification Started (2D)", rule});
    py::object classifier_cls = module_global("phase_boundary_learner").attr("_Main_ML_2D");
    py::object classifier = classifier_cls(**self.attr("ml_kwargs"));
    py::setattr(self, "ml_classifier", classifier);
    py::sequence grid = classifier.attr("train")(X_train_raw, y_train);
    if (py::len(grid) != 3) throw py::value_error("the classifier's train must return (X1_orig, X2_orig, P)");
    py::setattr(self, "X1_orig", grid[0]);
    py::setattr(self, "X2_orig", grid[1]);
    py::setattr(self, "P", grid[2]);
    return py::make_tuple(grid[0], grid[1], grid[2]);
}

// The decision value re-sampled linearly onto the caller's grid; 0 (the
// boundary level) outside the classifier's own grid.
py::object extend_prediction(py::object self, py::object Xi, py::object Yi) {
    py::object P = self.attr("P");
    if (P.is_none()) return py::none();
    return contour_map().attr("resampled_decision")(self.attr("X1_orig"), self.attr("X2_orig"), P, Xi, Yi);
}

}  // namespace

void register_result_analysis(py::module_& m, py::object wrapper_cls) {
    py::object module_name = m.attr("__name__");

    py::object loader = make_plain_class(module_name, "DataLoader", "Mapping_Wrapper.DataLoader",
                                         "Handles data loading and initial processing");
    add_init(loader, "DataLoader", &init_loader, "df is None until load_data.");
    add_method(loader, "load_data", &load_data, py::arg("filename"),
               "Reads the results file with pandas, prints an overview and returns the DataFrame.");
    add_method(loader, "get_data_ranges", &get_data_ranges,
               "(P_parameter, T_parameter, L_cnt_avg) columns with their printed ranges, or three None.");
    py::setattr(wrapper_cls, "DataLoader", loader);

    py::object processor = make_plain_class(module_name, "DataProcessor", "Mapping_Wrapper.DataProcessor",
                                            "Handles data filtering and preprocessing");
    add_init(processor, "DataProcessor", &init_processor, py::arg("dataframe"),
             "Keeps the DataFrame; filtered_df and wall_filter are None until filter_data.");
    add_method(processor, "filter_data", &filter_data, py::arg("wall_threshold") = 2,
               "Rows with wall_number_avg below the threshold; returns (filtered_df, wall_filter).");
    add_method(processor, "prepare_ml_data", &prepare_ml_data,
               "(P column, T column, m x 2 training points, 0/1 labels); needs filter_data first.");
    py::setattr(wrapper_cls, "DataProcessor", processor);

    py::object ml = make_plain_class(module_name, "MLClassifier", "Mapping_Wrapper.MLClassifier",
                                     "Handles machine learning classification");
    add_init(ml, "MLClassifier", &init_classifier, "Keywords are handed to _Main_ML_2D at training.");
    add_method(ml, "train_classifier", &train_classifier, py::arg("X_train_raw"), py::arg("y_train"),
               "Trains _Main_ML_2D(**ml_kwargs); returns its decision grid (X1_orig, X2_orig, P).");
    add_method(ml, "extend_prediction", &extend_prediction, py::arg("Xi"), py::arg("Yi"),
               "The decision value linearly re-sampled onto (Xi, Yi), 0 outside the classifier grid; None "
               "before training.");
    py::setattr(wrapper_cls, "MLClassifier", ml);
}

}  // namespace velmora::bind::sweep
