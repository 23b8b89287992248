// The settings of a study as the core's JSON value, built from the wrapper and
// its configuration, and the settings a resume source carries.
#pragma once
#include <string>

#include "parameter_sweep/study_binding.hpp"
#include "study/checkpoint.hpp"
#include "study/study_settings.hpp"

namespace velmora::bind::sweep {

// kind ("parametric", "boundary", ...), the package version, the map, the grid
// size, the grid ends of both varied parameters, the constants, and every
// model keyword with the value the runs get (the model's default, or the
// wrapper's Velmora_kwargs entry).
study::JsonValue study_settings_of(py::handle wrapper, py::handle config, const std::string& kind);

// Writes a finished study's results file (the wrapper's save_results) and
// its settings beside it; sets the wrapper's last_generated_filename, results
// and results_saved. Returns whether both files were written (the error
// printed when not).
bool save_study_results(py::object wrapper, py::list results, const std::string& results_name,
                        const study::JsonValue& settings);

// The runs of a resume source: a checkpoint, or a results file written by a
// study (read by pandas, as it was written) with the settings file beside
// it. ValueError when its settings differ from `current`.
study::RecordedRuns recorded_runs(const py::object& source, const study::JsonValue& current);

}  // namespace velmora::bind::sweep
