#include "study/grid_study.hpp"

#include "study/run_record.hpp"

namespace velmora::study {

std::vector<StudyRun> grid_runs(std::string_view y_key, std::string_view y_unit, const std::vector<double>& y_values,
                                std::string_view x_key, std::string_view x_unit, const std::vector<double>& x_values) {
    const std::size_t total = y_values.size() * x_values.size();
    std::vector<StudyRun> runs;
    runs.reserve(total);
    for (const double y : y_values)
        for (const double x : x_values) {
            const std::size_t id = runs.size() + 1;
            runs.push_back({static_cast<long long>(id), y, x,
                            simulation_line(id, total, point_description(y_key, y, y_unit),
                                            point_description(x_key, x, x_unit))});
        }
    return runs;
}

std::vector<std::optional<FlatRecord>> recorded_runs(const std::vector<StudyRun>& runs,
                                                     const std::vector<std::string>& columns,
                                                     std::string_view map_requested,
                                                     const std::vector<FlatRecord>& recorded,
                                                     const std::vector<RecordPlace>& places) {
    std::vector<GridPoint> grid;
    for (const StudyRun& run : runs) grid.push_back({run.id, run.y, run.x});
    const auto matched = match_recorded_points(grid, columns, map_requested, recorded, places);
    std::vector<std::optional<FlatRecord>> held(runs.size());
    for (std::size_t k = 0; k < runs.size(); ++k)
        if (matched[k]) held[k] = recorded[*matched[k]];
    return held;
}

}  // namespace velmora::study
