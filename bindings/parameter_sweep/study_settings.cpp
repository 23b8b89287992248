#include "parameter_sweep/study_settings.hpp"

#include "common/errors.hpp"
#include "parameter_sweep/study_points.hpp"
#include "study/study_settings.hpp"

namespace velmora::bind::sweep {

study::JsonValue study_settings_of(py::handle wrapper, py::handle config, const std::string& kind) {
    py::object text = module_global("_study_settings_doc").attr("settings_json")(wrapper, config, kind);
    return study::parse_json_document(text.cast<std::string>());
}

void check_same_study(const std::optional<study::JsonValue>& recorded, const study::JsonValue& current,
                      const std::string& place) {
    if (!recorded) return;
    const std::string difference = study::settings_difference(*recorded, current);
    if (!difference.empty())
        throw InvalidValue(place + ": written by a study with other settings: " + difference);
}

std::optional<study::JsonValue> settings_beside(const std::string& results_name) {
    const std::string name = study::settings_file_name(results_name);
    py::object bytes = results_file().attr("read_if_present")(py::str(name));
    if (bytes.is_none()) return std::nullopt;
    try {
        return study::parse_json_document(bytes.cast<std::string>());
    } catch (const InvalidValue& e) {
        throw InvalidValue(name + ", " + e.what());
    }
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

// The records of a resume source: a checkpoint (lines of JSON objects, a torn
// last line dropped) or a results file written by a study (read by pandas, as
// it was written).
RecordedRuns load_recorded(const py::object& source) {
    const std::string name = text_of(source);
    const std::string text = results_file().attr("read_bytes")(source).cast<std::string>();
    RecordedRuns runs;
    study::RecordedFileKind kind;
    try {
        kind = study::recorded_file_kind(text);
    } catch (const InvalidValue& e) {
        throw InvalidValue(name + ", " + e.what());
    }
    if (kind == study::RecordedFileKind::checkpoint) {
        study::CheckpointContents contents;
        try {
            contents = study::read_checkpoint_text(text);
        } catch (const InvalidValue& e) {
            throw InvalidValue(name + ", " + e.what());
        }
        runs.settings = std::move(contents.settings);
        runs.settings_place = name + ", line " + std::to_string(contents.settings_line_number);
        runs.records = std::move(contents.records);
        for (const std::size_t line : contents.line_numbers) runs.places.push_back({name, "line " + std::to_string(line)});
        return runs;
    }
    runs.settings = settings_beside(name);
    runs.settings_place = study::settings_file_name(name);
    std::size_t row = 0;
    for (py::handle record : results_file().attr("read_results_csv")(source)) {
        runs.records.push_back(flat_record_of(record));
        runs.places.push_back({name, "row " + std::to_string(++row)});
    }
    return runs;
}

}  // namespace velmora::bind::sweep
