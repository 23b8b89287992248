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

// For every grid point, the index of its record among `recorded`, or nullopt
// when it still has to run. `columns` are the record columns of this study
// (record_columns()); every recorded record must have exactly these keys, in
// this order, the study's map request, and the values of the grid point with
// its number (compared exactly: floats are stored with round-trip digits).
// A later record of the same point replaces an earlier one. Throws ValueError
// naming the first record that does not belong to this study.
std::vector<std::optional<std::size_t>> match_recorded_points(const std::vector<GridPoint>& grid,
                                                              const std::vector<std::string>& columns,
                                                              std::string_view map_requested,
                                                              const std::vector<FlatRecord>& recorded);

// "Resuming: 3 of 9 simulations already recorded in <source>".
std::string resume_line(std::size_t recorded, std::size_t total, std::string_view source);

}  // namespace velmora::study
