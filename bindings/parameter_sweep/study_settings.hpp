// The settings of a study as the core's JSON value, built from the wrapper and
// its configuration, and the settings a resume source carries.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "parameter_sweep/study_binding.hpp"
#include "study/checkpoint.hpp"
#include "study/resume_plan.hpp"

namespace velmora::bind::sweep {

// kind ("parametric", "boundary", ...), the package version, the map, the grid
// size, the grid ends of both varied parameters, the constants, and every
// model keyword with the value the runs get (the model's default, or the
// wrapper's Velmora_kwargs entry).
study::JsonValue study_settings_of(py::handle wrapper, py::handle config, const std::string& kind);

// Refuses (ValueError naming `place`) settings that differ from the current
// ones; recorded settings that are absent (files written before studies kept
// them) are accepted.
void check_same_study(const std::optional<study::JsonValue>& recorded, const study::JsonValue& current,
                      const std::string& place);

// The settings file beside a results file, when there is one; ValueError
// naming it and the line when it does not read.
std::optional<study::JsonValue> settings_beside(const std::string& results_name);

// Writes a finished study's results file (the wrapper's save_results) and
// its settings beside it; sets the wrapper's last_generated_filename, results
// and results_saved. Returns whether both files were written (the error
// printed when not).
bool save_study_results(py::object wrapper, py::list results, const std::string& results_name,
                        const study::JsonValue& settings);

// The records of a resume source, where each one is, and the settings it
// carries (none in files written before studies kept them).
struct RecordedRuns {
    std::vector<study::FlatRecord> records;
    std::vector<study::RecordPlace> places;
    std::optional<study::JsonValue> settings;
    std::string settings_place;  // "<checkpoint>, line 1" or the settings file
};
// A checkpoint (lines of JSON objects, a torn last line dropped) or a results
// file written by a study (read by pandas, as it was written).
RecordedRuns load_recorded(const py::object& source);

}  // namespace velmora::bind::sweep
