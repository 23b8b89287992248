#include "parameter_sweep/study_settings.hpp"

#include "common/errors.hpp"
#include "parameter_sweep/study_points.hpp"
#include "study/study_settings.hpp"

namespace velmora::bind::sweep {

study::JsonValue study_settings_of(py::handle wrapper, py::handle config, const std::string& kind) {
    py::object text = module_global("_study_settings_doc").attr("settings_json")(wrapper, config, kind);
    return study::parse_json_document(text.cast<std::string>());
}

bool save_study_results(py::object wrapper, py::list results, const std::string& results_name,
                        const study::JsonValue& settings) {
    bool saved = py::bool_(wrapper.attr("save_results")(results, results_name));
    // The settings beside the results, so that a resume from the file can
    // tell whether it belongs to the study resumed.
    if (saved) {
        try {
            results_file().attr("write_text")(py::str(study::settings_file_name(results_name)),
                                           py::str(study::json_document(settings) + "\n"));
        } catch (py::error_already_set& e) {
            if (!e.matches(PyExc_OSError)) throw;
            velmora::print_line("Error saving results: settings file " + study::settings_file_name(results_name) +
                                " not written");
            saved = false;
        }
    }
    py::setattr(wrapper, "last_generated_filename", py::str(results_name));
    py::setattr(wrapper, "results", results);
    py::setattr(wrapper, "results_saved", py::bool_(saved));
    return saved;
}

study::RecordedRuns recorded_runs(const py::object& source, const study::JsonValue& current) {
    const std::string name = text_of(source);
    const std::string text = results_file().attr("read_bytes")(source).cast<std::string>();
    std::optional<study::RecordedRuns> runs = study::recorded_checkpoint(name, text);
    if (!runs) {
        std::vector<study::FlatRecord> rows;
        for (py::handle record : results_file().attr("read_results_csv")(source)) rows.push_back(flat_record_of(record));
        py::object settings = results_file().attr("read_if_present")(py::str(study::settings_file_name(name)));
        runs = study::recorded_table(name, std::move(rows),
                                     settings.is_none() ? std::nullopt : std::optional(settings.cast<std::string>()));
    }
    study::check_same_study(runs->settings, current, runs->settings_place);
    return std::move(*runs);
}

}  // namespace velmora::bind::sweep
