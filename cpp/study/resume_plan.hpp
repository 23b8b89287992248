// Which grid points of a study are already recorded, for resuming it.
//
// A point is identified by its running number together with its map request
// and its two parameter values: a record whose number matches but whose values
// differ was written by another study, and resuming from it would mix studies.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "study/checkpoint.hpp"

namespace velmora::study {

struct GridPoint {
    long long simulation_id = 0;
    double y_value = 0.0;
    double x_value = 0.0;
};

// Where a recorded run came from, for messages: the file and the line (or
// table row) that holds it, e.g. {"runs/x.checkpoint.jsonl", "line 3"}.
struct RecordPlace {
    std::string source;
    std::string where;
};

// Why a record with this study's `columns` cannot be what a finished run
// wrote, or empty when it can: simulation_id a whole number, map_type and
// error_message text, status 0 or 1, both grid values and every constant a
// finite number, each summary a finite number or missing.
std::string implausible_record(const FlatRecord& record, const std::vector<std::string>& columns);

// Throws InvalidValue, starting with `which`, unless the record has exactly
// the study's columns and holds what a finished run writes.
void require_study_record(const FlatRecord& record, const std::vector<std::string>& columns, const std::string& which);

// For every grid point, the index of its record among `recorded`, or nullopt
// when it still has to run. `columns` are the record columns of this study
// (record_columns()); every recorded record must have exactly these keys, in
// this order, values a finished run writes (implausible_record), the study's
// map request, and the values of the grid point with its number (compared
// exactly: floats are stored with round-trip digits). A point recorded twice
// must have the same record both times. Throws ValueError naming the file and
// line (`places`, one per record) of the first record that cannot be used.
std::vector<std::optional<std::size_t>> match_recorded_points(const std::vector<GridPoint>& grid,
                                                              const std::vector<std::string>& columns,
                                                              std::string_view map_requested,
                                                              const std::vector<FlatRecord>& recorded,
                                                              const std::vector<RecordPlace>& places);

// "Resuming: 3 of 9 simulations already recorded in <source>".
std::string resume_line(std::size_t recorded, std::size_t total, std::string_view source);

}  // namespace velmora::study
