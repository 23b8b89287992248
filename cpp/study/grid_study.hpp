// The runs of a study and, for a uniform grid, its points in order and what
// a resume source already holds of them.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "study/checkpoint.hpp"
#include "study/resume_plan.hpp"

namespace velmora::study {

// A run a study makes: its number, its two values and its "Simulation i/N: ..." line.
struct StudyRun {
    long long id = 0;
    double y = 0.0, x = 0.0;
    std::string line;
};

// The points of a uniform grid, Y outer and X inner, numbered from 1.
std::vector<StudyRun> grid_runs(std::string_view y_key, std::string_view y_unit, const std::vector<double>& y_values,
                                std::string_view x_key, std::string_view x_unit, const std::vector<double>& x_values);

// For each run, the record a resume source holds of it, if any (the checks of
// match_recorded_points).
std::vector<std::optional<FlatRecord>> recorded_runs(const std::vector<StudyRun>& runs,
                                                     const std::vector<std::string>& columns,
                                                     std::string_view map_requested,
                                                     const std::vector<FlatRecord>& recorded,
                                                     const std::vector<RecordPlace>& places);

}  // namespace velmora::study
