// Reading a results file back, labelling the runs by wall number and training
// the phase classifier: Mapping_Wrapper.DataLoader, .DataProcessor and
// .MLClassifier. The files are "P&T" studies; columns are read by name.
#include <string>
#include <vector>

#include "common/plain_class.hpp"
#include "parameter_sweep/study_binding.hpp"
#include "study/wall_labels.hpp"

namespace velmora::bind::sweep {

namespace {

std::vector<double> column_values(py::handle frame, const char* column) {
    py::object as_float = py::module_::import("builtins").attr("float");
    py::object values = frame[py::str(column)].attr("to_numpy")(py::arg("dtype") = as_float);
    return real_vector(values, column);
}

// ---- DataLoader ----------------------------------------------------------

void init_loader(py::object self) { py::setattr(self, "df", py::none()); }

py::object load_data(py::object self, py::object filename) {
    velmora::print_line("Loading data from: " + text_of(filename));
    py::object df = module_global("pd").attr("read_csv")(filename);
    py::setattr(self, "df", df);
    print_lines({"Data loaded successfully!", "First few rows:", text_of(df.attr("head")())});
    print_lines({"", "Data shape: " + text_of(df.attr("shape")),
                 "Columns: " + text_of(py::list(df.attr("columns")))});
    print_lines({"", "Missing values:", text_of(df.attr("isnull")().attr("sum")())});
    return df;
}

py::tuple get_data_ranges(py::object self) {
    py::object df = self.attr("df");
    if (df.is_none()) return py::make_tuple(py::none(), py::none(), py::none());
    py::object x = df[py::str("P_parameter")], y = df[py::str("T_parameter")], z = df[py::str("L_cnt_avg")];
    const auto range = [](const char* name, py::handle s) {
        return std::string(name) + ": " + text_of(s.attr("min")()) + " to " + text_of(s.attr("max")());
    };
    print_lines({"", "Data ranges:", range("P_parameter", x), range("T_parameter", y), range("L_cnt_avg", z)});
    return py::make_tuple(x, y, z);
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

    py::array_t<bool> flags(static_cast<py::ssize_t>(below.size()));
    for (std::size_t i = 0; i < below.size(); ++i) flags.mutable_data()[i] = below[i];
    py::object wall_filter = module_global("pd").attr("Series")(flags, py::arg("index") = df.attr("index"),
                                                                 py::arg("name") = "wall_number_avg");
    py::object filtered_df = df[wall_filter].attr("copy")();
    py::setattr(self, "wall_filter", wall_filter);
    py::setattr(self, "filtered_df", filtered_df);

    const std::size_t count = study::count_below(below);
    print_lines({"", "Points with wall_number_avg < " + text_of(wall_threshold) + ": " + std::to_string(count),
                 "Filtered points (P, T, wall_number):"});
    if (count > 0) {
        const auto p = column_values(filtered_df, "P_parameter");
        const auto t = column_values(filtered_df, "T_parameter");
        const auto wall = column_values(filtered_df, "wall_number_avg");
        for (std::size_t i = 0; i < count; ++i) velmora::print_line(study::filtered_point_line(p[i], t[i], wall[i]));
    }
    return py::make_tuple(filtered_df, wall_filter);
}

// Class 1 where wall_filter is True; all 0 (a 0-d array, as numpy's where
// gives) when no filter has been computed yet.
py::object training_labels(py::handle wall_filter) {
    py::object np = module_global("np");
    py::object is_true = py::reinterpret_steal<py::object>(PyObject_RichCompare(wall_filter.ptr(), Py_True, Py_EQ));
    if (!is_true) throw py::error_already_set();
    py::array flags = np.attr("asarray")(is_true, py::arg("dtype") = "bool");
    if (flags.ndim() != 1) return np.attr("where")(is_true, 1, 0);
    std::vector<bool> below(static_cast<std::size_t>(flags.size()));
    auto view = flags.unchecked<bool, 1>();
    for (py::ssize_t i = 0; i < view.shape(0); ++i) below[static_cast<std::size_t>(i)] = view(i);
    const std::vector<long long> labels = study::class_labels(below);
    py::array_t<std::int64_t> out(static_cast<py::ssize_t>(labels.size()));
    for (std::size_t i = 0; i < labels.size(); ++i) out.mutable_data()[i] = labels[i];
    return out;
}

py::tuple prepare_ml_data(py::object self) {
    py::object df = self.attr("df");
    py::object x_filtered = df[py::str("P_parameter")];
    py::object y_filtered = df[py::str("T_parameter")];
    const auto p = column_values(df, "P_parameter");
    const auto t = column_values(df, "T_parameter");
    py::array_t<double> X_train_raw({static_cast<py::ssize_t>(p.size()), py::ssize_t{2}});
    auto X = X_train_raw.mutable_unchecked<2>();
    for (std::size_t i = 0; i < p.size(); ++i) {
        X(static_cast<py::ssize_t>(i), 0) = p[i];
        X(static_cast<py::ssize_t>(i), 1) = t[i];
    }
    return py::make_tuple(x_filtered, y_filtered, X_train_raw, training_labels(self.attr("wall_filter")));
}

// ---- MLClassifier --------------------------------------------------------

void init_classifier(py::object self, py::dict ml_kwargs) {
    py::setattr(self, "ml_kwargs", ml_kwargs);
    for (const char* name : {"ml_classifier", "X1_orig", "X2_orig", "P"}) py::setattr(self, name, py::none());
}

py::tuple train_classifier(py::object self, py::object X_train_raw, py::object y_train) {
    const std::string rule(44, '=');
    print_lines({rule, "Machine Learning Classification Started (2D)", rule});
    py::object classifier_cls = module_global("phase_boundary_learner").attr("_Main_ML_2D");
    py::object classifier = classifier_cls(**self.attr("ml_kwargs"));
    py::setattr(self, "ml_classifier", classifier);
    py::object trained = classifier.attr("train")(X_train_raw, y_train);
    py::sequence grid = trained;
    if (py::len(grid) != 3)
        throw py::value_error("the classifier's train must return (X1_orig, X2_orig, P)");
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
    py::object points = py::make_tuple(self.attr("X1_orig").attr("flatten")(), self.attr("X2_orig").attr("flatten")());
    return module_global("griddata")(points, P.attr("flatten")(), py::make_tuple(Xi, Yi), py::arg("method") = "linear",
                                     py::arg("fill_value") = 0);
}

}  // namespace

void register_result_analysis(py::object wrapper_cls) {
    py::object module_name = py::str(kModuleName);

    py::object loader = make_plain_class(module_name, "DataLoader", "Mapping_Wrapper.DataLoader",
                                         "Handles data loading and initial processing");
    add_init(loader, module_name, "Mapping_Wrapper.DataLoader", "", "",
             py::cpp_function(&init_loader, py::name("_initialise")), "df is None until load_data.");
    add_method(loader, "load_data", &load_data, py::arg("filename"),
               "Reads the results file with pandas, prints an overview and returns the DataFrame.");
    add_method(loader, "get_data_ranges", &get_data_ranges,
               "(P_parameter, T_parameter, L_cnt_avg) columns with their printed ranges, or three None.");
    py::setattr(wrapper_cls, "DataLoader", loader);

    py::object processor = make_plain_class(module_name, "DataProcessor", "Mapping_Wrapper.DataProcessor",
                                            "Handles data filtering and preprocessing");
    add_init(processor, module_name, "Mapping_Wrapper.DataProcessor", "dataframe", "dataframe",
             py::cpp_function(&init_processor, py::name("_initialise")),
             "Keeps the DataFrame; filtered_df and wall_filter are None until filter_data.");
    add_method(processor, "filter_data", &filter_data, py::arg("wall_threshold") = 2,
               "Rows with wall_number_avg below the threshold; returns (filtered_df, wall_filter).");
    add_method(processor, "prepare_ml_data", &prepare_ml_data,
               "(P column, T column, m x 2 training points, 0/1 labels); needs filter_data first.");
    py::setattr(wrapper_cls, "DataProcessor", processor);

    py::object ml = make_plain_class(module_name, "MLClassifier", "Mapping_Wrapper.MLClassifier",
                                     "Handles machine learning classification");
    add_init(ml, module_name, "Mapping_Wrapper.MLClassifier", "**ml_kwargs", "ml_kwargs",
             py::cpp_function(&init_classifier, py::name("_initialise")),
             "Keywords are handed to _Main_ML_2D at training.");
    add_method(ml, "train_classifier", &train_classifier, py::arg("X_train_raw"), py::arg("y_train"),
               "Trains _Main_ML_2D(**ml_kwargs); returns its decision grid (X1_orig, X2_orig, P).");
    add_method(ml, "extend_prediction", &extend_prediction, py::arg("Xi"), py::arg("Yi"),
               "The decision value linearly re-sampled onto (Xi, Yi), 0 outside the classifier grid; None "
               "before training.");
    py::setattr(wrapper_cls, "MLClassifier", ml);
}

}  // namespace velmora::bind::sweep
