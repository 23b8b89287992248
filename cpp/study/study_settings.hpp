// The settings a study was run with, kept with its checkpoint and beside its
// results file, so that a resume never mixes the runs of two studies.
//
// Settings are a JSON object: the kind of study, the package version, the map,
// the grid, the constants and every model keyword with the value the runs
// used. Two settings objects are the same study when every member is equal;
// members are matched by name (their order does not matter) and numbers by
// value (800 and 800.0 are the same temperature).
#pragma once
#include <string>
#include <string_view>

#include "study/checkpoint.hpp"

namespace velmora::study {

// The first member in which the recorded settings differ from the current
// ones, walking the current settings in order, e.g.
// "constants.L is 0.2 there, 0.3 here" or "model_keywords.catalsyt_element is
// missing there"; empty when they are the same.
std::string settings_difference(const JsonValue& recorded, const JsonValue& current);

// The settings file beside a results file: the same name with ".json" in
// place of its extension ("runs/parametric_study_P&T_20250101_120000.json").
std::string settings_file_name(std::string_view results_file_name);

// What a resume source holds, judged from its text: a checkpoint (JSON lines)
// or a results table. Throws ValueError "line 1: the file is empty ..." for a
// file with nothing but blanks.
enum class RecordedFileKind { checkpoint, table };
RecordedFileKind recorded_file_kind(std::string_view text);

}  // namespace velmora::study
