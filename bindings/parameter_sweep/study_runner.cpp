// The study runner: one reactor model per grid point, its summary record, and
// the results file.
//
// Models are created by calling the host class object MovingSectionalModel
// (looked up in this module at call time) rather than the C++ model type
// directly: the model's binding owns the Cantera gas object and the gas-step
// adapter, and its attribute table is what the apply methods write. The model
// itself still runs entirely in C++; only construction and attribute access
// cross the boundary, once per grid point.
#include <exception>
#include <string>
#include <vector>

#include "parameter_sweep/plain_class.hpp"
#include "parameter_sweep/study_binding.hpp"
#include "study/run_record.hpp"

namespace velmora::bind::sweep {

namespace {

py::object create_model_with_parameters(py::object self, py::object config, py::object y_value, py::object x_value) {
    py::object kwargs = py::module_::import("copy").attr("copy")(self.attr("Velmora_kwargs"));
    py::object model = module_global("MovingSectionalModel")(**kwargs);
    py::object apply = config.attr("apply_parameter");
    apply(model, config.attr("Y_parameter"), y_value);
    apply(model, config.attr("X_parameter"), x_value);
    py::object constant_values = config.attr("constant_values");
    for (py::handle key : config.attr("constant_parameters")) apply(model, key, constant_values[key]);
    return model;
}

bool save_results(py::object, py::object results, py::object filename) {
    try {
        py::object frame = module_global("pd").attr("DataFrame")(results);
        frame.attr("to_csv")(filename, py::arg("index") = false);
        return true;
    } catch (...) {
        velmora::print_line("Error saving results: " + ordinary_exception_text(std::current_exception()));
        return false;
    }
}

// Host tuple unpacking of `times, solutions = model.solve()`, with its messages.
void unpack_two(py::handle result) {
    if (!py::isinstance<py::iterable>(result))
        throw py::type_error("cannot unpack non-iterable " + text_of(py::type::handle_of(result).attr("__name__")) +
                             " object");
    std::size_t count = 0;
    for (py::handle item : result) {
        (void)item;
        if (++count > 2) throw py::value_error("too many values to unpack (expected 2)");
    }
    if (count < 2)
        throw py::value_error("not enough values to unpack (expected 2, got " + std::to_string(count) + ")");
}

bool has_entries(py::handle model, const char* name, std::size_t at_least) {
    return py::hasattr(model, name) && py::len(model.attr(name)) >= at_least;
}

std::vector<double> last_entry(py::handle model, const char* name) {
    py::object history = model.attr(name);
    return as_vector(history[py::int_(-1)], name);
}

// Number-weighted summaries of the final state over the sections that grew
// CNTs; writes each field of the record as soon as it is known, so a failure
// part-way leaves what was computed before it.
void summarize_solved_model(py::handle model, py::dict record) {
    if (!(has_entries(model, "y_saved", 2) && has_entries(model, "wall_number_section_saved", 1))) {
        record["error_message"] = study::kArraysMissing;
        return;
    }
    const std::vector<double> final_y = last_entry(model, "y_saved");
    const std::vector<double> final_walls = last_entry(model, "wall_number_section_saved");
    const auto sections = study::valid_sections(final_walls, as_index(model.attr("isec")));
    if (sections.empty()) {
        record["error_message"] = study::kNoValidSections;
        return;
    }
    const double total = study::total_number(final_y, sections);
    record["N_total"] = total;
    if (has_entries(model, "xdm_saved", 1))
        record["dm_avg"] = study::number_weighted_mean(last_entry(model, "xdm_saved"), 0, final_y, sections, total);
    if (has_entries(model, "carbon_data_saved", 1)) {
        const long long intnum = as_index(model.attr("intnum"));
        record["L_cnt_avg"] =
            study::number_weighted_mean(last_entry(model, "carbon_data_saved"), intnum, final_y, sections, total);
    }
    record["wall_number_avg"] = study::number_weighted_mean(final_walls, 0, final_y, sections, total);
    record["status"] = 1;
}

py::list run_parametric_study(py::object self) {
    velmora::print_line("Starting Automated Parametric Study...");
    velmora::print_line(std::string(60, '='));
    py::object config = self.attr("ParametricStudyConfig")(self);

    py::list results;
    py::object y_range = config.attr("Y_parameter_range"), x_range = config.attr("X_parameter_range");
    const std::size_t total_sims = py::len(y_range) * py::len(x_range);
    const std::string y_key = text_of(config.attr("Y_parameter")), x_key = text_of(config.attr("X_parameter"));
    py::object definitions = config.attr("parameter_definitions");
    const std::string y_unit = text_of(definitions[py::str(y_key)]["unit"]);
    const std::string x_unit = text_of(definitions[py::str(x_key)]["unit"]);
    py::object constant_keys = config.attr("constant_parameters");
    py::object constant_values = config.attr("constant_values");
    std::vector<std::string> constant_names;
    for (py::handle key : constant_keys) constant_names.push_back(text_of(key));
    const std::vector<std::string> columns = study::record_columns(y_key, x_key, constant_names);

    std::size_t current_sim = 0;
    for (py::handle y_value : y_range) {
        for (py::handle x_value : x_range) {
            ++current_sim;
            velmora::print_line(study::simulation_line(
                current_sim, total_sims, study::point_description(y_key, as_double(y_value, "Y value"), y_unit),
                study::point_description(x_key, as_double(x_value, "X value"), x_unit)));

            py::dict record;
            record[columns[0].c_str()] = current_sim;
            record[columns[1].c_str()] = self.attr("map_requested");
            record[columns[2].c_str()] = y_value;
            record[columns[3].c_str()] = x_value;
            record[columns[4].c_str()] = 0;
            record[columns[5].c_str()] = "";
            for (std::size_t k = 6; k < 10; ++k) record[columns[k].c_str()] = py::none();
            std::size_t column = 10;
            for (py::handle key : constant_keys) record[columns[column++].c_str()] = constant_values[key];

            try {
                py::object model = self.attr("create_model_with_parameters")(config, y_value, x_value);
                unpack_two(model.attr("solve")());
                summarize_solved_model(model, record);
            } catch (...) {
                const std::string message = ordinary_exception_text(std::current_exception());
                record["error_message"] = message;
                velmora::print_line("    Failed: " + message);
            }
            results.append(record);
        }
    }

    const std::string final_filename =
        study::results_file_name(text_of(self.attr("map_requested")), study::local_time_now());
    self.attr("save_results")(results, final_filename);
    py::setattr(self, "last_generated_filename", py::str(final_filename));
    py::setattr(self, "results", results);

    std::size_t successful_sims = 0;
    for (py::handle record : results)
        if (py::object(record["status"]).equal(py::int_(1))) ++successful_sims;
    print_lines(study::completion_lines(total_sims, successful_sims, final_filename));
    return results;
}

}  // namespace

void register_study_runner(py::object wrapper_cls) {
    add_method(wrapper_cls, "create_model_with_parameters", &create_model_with_parameters, py::arg("config"),
               py::arg("y_value"), py::arg("x_value"),
               "A new MovingSectionalModel built from Velmora_kwargs, with the point's two values and the "
               "constant values applied.");
    add_method(wrapper_cls, "save_results", &save_results, py::arg("results"), py::arg("filename"),
               "Writes the run records as CSV (no index column); False after printing the error when that fails.");
    add_method(wrapper_cls, "run_parametric_study", &run_parametric_study,
               "Runs every grid point, records each run (failures included), writes the time-stamped CSV and "
               "returns the records.");
}

}  // namespace velmora::bind::sweep
