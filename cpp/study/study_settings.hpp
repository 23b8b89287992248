// The settings a study was run with, kept with its checkpoint and beside its
// results file, so that a resume never mixes the runs of two studies.
//
// Settings are a JSON object: the kind of study, the package version, the map,
// the grid, the constants and every model keyword with the value the runs
// used. Two settings objects are the same study when every member is equal;
// members are matched by name (their order does not matter) and numbers by
// value (800 and 800.0 are the same temperature).
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "study/checkpoint.hpp"
#include "study/resume_plan.hpp"

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

// Refuses (ValueError naming `place`) recorded settings that differ from the
// current ones; recorded settings that are absent (files written before
// studies kept them) are accepted.
void check_same_study(const std::optional<JsonValue>& recorded, const JsonValue& current, const std::string& place);

// The records of a resume source, where each one is, and the settings it
// carries (none in files written before studies kept them).
struct RecordedRuns {
    std::vector<FlatRecord> records;
    std::vector<RecordPlace> places;
    std::optional<JsonValue> settings;
    std::string settings_place;  // "<checkpoint>, line 1" or the settings file
};

// The runs of the resume source `name` from its text when it is a checkpoint
// (lines of JSON objects, a torn last line dropped); nullopt when it is a
// results table, which the host reads. ValueError "<name>, line N: ..." for
// an empty file or a line that does not read.
std::optional<RecordedRuns> recorded_checkpoint(const std::string& name, std::string_view text);

// The runs of the results table `name`: its rows (places "row 1", ...) and
// the settings file beside it, from its text (nullopt when there is none;
// ValueError naming that file and the line when it does not read).
RecordedRuns recorded_table(const std::string& name, std::vector<FlatRecord> rows,
                            const std::optional<std::string>& settings_text);

}  // namespace velmora::study
