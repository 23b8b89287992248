// Reading a results file back, labelling the runs by wall number and training
// the phase classifier: Mapping_Wrapper.DataLoader, .DataProcessor and
// .MLClassifier. The files are "P&T" studies; columns are read by name.
// Reading and printing the table is pandas' work (_results_report), training
// and re-sampling the classifier's (_map_analysis, _contour_map); which runs
// lie below the threshold and what filtering prints is the core's.
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

// ---- DataProcessor -------------------------------------------------------

void init_processor(py::object self, py::object dataframe) {
    py::setattr(self, "df", dataframe);
    py::setattr(self, "filtered_df", py::none());
    py::setattr(self, "wall_filter", py::none());
}

py::tuple filter_data(py::object self, py::object wall_threshold) {
    py::object df = self.attr("df");
    const std::vector<double> wall = column_values(df, "wall_number_avg");
    const std::vector<bool> below = study::below_wall_threshold(wall, real_number(wall_threshold, "wall_threshold"));
    py::tuple selected = results_report().attr("rows_below")(df, below);
    py::setattr(self, "filtered_df", selected[0]);
    py::setattr(self, "wall_filter", selected[1]);
    std::vector<double> p, t;
    if (study::count_below(below) > 0) {  // read only when a point is listed
        p = column_values(df, "P_parameter");
        t = column_values(df, "T_parameter");
    }
    print_lines(study::filter_report_lines(text_of(wall_threshold), below, p, t, wall));
    return selected;
}

// ---- MLClassifier --------------------------------------------------------

void init_classifier(py::object self, py::kwargs ml_kwargs) {
    py::setattr(self, "ml_kwargs", ml_kwargs);
    for (const char* name : {"ml_classifier", "X1_orig", "X2_orig", "P"}) py::setattr(self, name, py::none());
}

void announce_training() {
    const std::string rule(44, '=');
    print_lines({rule, "Machine Learning Classification Started (2D)", rule});
}

}  // namespace

void register_result_analysis(py::object wrapper_cls) {
    py::object module_name = py::str(kModuleName);

    py::object loader = make_plain_class(module_name, "DataLoader", "Mapping_Wrapper.DataLoader",
                                         "Handles data loading and initial processing");
    add_init(loader, "DataLoader", &init_loader, "df is None until load_data.");
    add_method(
        loader, "load_data",
        [](py::object self, py::object filename) { return results_report().attr("load_into")(self, filename); },
        py::arg("filename"),
        "Reads the results file with pandas, prints an overview and returns the DataFrame.");
    add_method(
        loader, "get_data_ranges", [](py::object self) { return results_report().attr("ranges_of")(self); },
        "(P_parameter, T_parameter, L_cnt_avg) columns with their printed ranges, or three None.");
    py::setattr(wrapper_cls, "DataLoader", loader);

    py::object processor = make_plain_class(module_name, "DataProcessor", "Mapping_Wrapper.DataProcessor",
                                            "Handles data filtering and preprocessing");
    add_init(processor, "DataProcessor", &init_processor, py::arg("dataframe"),
             "Keeps the DataFrame; filtered_df and wall_filter are None until filter_data.");
    add_method(processor, "filter_data", &filter_data, py::arg("wall_threshold") = 2,
               "Rows with wall_number_avg below the threshold; returns (filtered_df, wall_filter).");
    add_method(
        processor, "prepare_ml_data", [](py::object self) { return results_report().attr("training_data_of")(self); },
        "(P column, T column, m x 2 training points, 0/1 labels); needs filter_data first.");
    py::setattr(wrapper_cls, "DataProcessor", processor);

    py::object ml = make_plain_class(module_name, "MLClassifier", "Mapping_Wrapper.MLClassifier",
                                     "Handles machine learning classification");
    add_init(ml, "MLClassifier", &init_classifier, "Keywords are handed to _Main_ML_2D at training.");
    // Building and training the classifier is Python's (_map_analysis), after the announcement.
    add_method(
        ml, "train_classifier",
        [](py::object self, py::object X_train_raw, py::object y_train) {
            announce_training();
            return module_global("_map_analysis").attr("train_classifier")(self, X_train_raw, y_train);
        },
        py::arg("X_train_raw"), py::arg("y_train"),
        "Trains _Main_ML_2D(**ml_kwargs); returns its decision grid (X1_orig, X2_orig, P).");
    add_method(
        ml, "extend_prediction",
        [](py::object self, py::object Xi, py::object Yi) {
            return contour_map().attr("extended_decision")(self, Xi, Yi);
        },
        py::arg("Xi"), py::arg("Yi"),
        "The decision value linearly re-sampled onto (Xi, Yi), 0 outside the classifier grid; None "
        "before training.");
    py::setattr(wrapper_cls, "MLClassifier", ml);
}

}  // namespace velmora::bind::sweep
