#include "study/resume_plan.hpp"

#include <cmath>
#include <unordered_map>

#include "common/errors.hpp"

namespace velmora::study {

namespace {

std::optional<double> as_number(const CellValue& value) {
    if (const double* x = std::get_if<double>(&value)) return *x;
    if (const long long* n = std::get_if<long long>(&value)) return static_cast<double>(*n);
    return std::nullopt;
}

bool same_value(const CellValue& value, double expected) {
    const auto x = as_number(value);
    if (!x) return false;
    return *x == expected || (std::isnan(*x) && std::isnan(expected));
}

}  // namespace

std::vector<std::optional<std::size_t>> match_recorded_points(const std::vector<GridPoint>& grid,
                                                              const std::vector<std::string>& columns,
                                                              std::string_view map_requested,
                                                              const std::vector<FlatRecord>& recorded) {
    std::unordered_map<long long, std::size_t> position_of;
    for (std::size_t k = 0; k < grid.size(); ++k) position_of[grid[k].simulation_id] = k;

    std::vector<std::optional<std::size_t>> matched(grid.size());
    for (std::size_t r = 0; r < recorded.size(); ++r) {
        const FlatRecord& record = recorded[r];
        const std::string which = "recorded run " + std::to_string(r + 1);
        bool same_columns = record.size() == columns.size();
        for (std::size_t c = 0; same_columns && c < columns.size(); ++c) same_columns = record[c].first == columns[c];
        if (!same_columns) throw ValueError(which + " does not have the columns of this study");
        const long long* id = std::get_if<long long>(&record[0].second);
        const auto found = id ? position_of.find(*id) : position_of.end();
        if (found == position_of.end()) throw ValueError(which + " has no simulation_id of this study's grid");
        const std::string* map = std::get_if<std::string>(&record[1].second);
        const GridPoint& point = grid[found->second];
        if (!map || *map != map_requested || !same_value(record[2].second, point.y_value) ||
            !same_value(record[3].second, point.x_value))
            throw ValueError(which + " (simulation_id " + std::to_string(*id) +
                             ") was made by a different study: its map or parameter values differ");
        matched[found->second] = r;
    }
    return matched;
}

std::string resume_line(std::size_t recorded, std::size_t total, std::string_view source) {
    return "Resuming: " + std::to_string(recorded) + " of " + std::to_string(total) +
           " simulations already recorded in " + std::string(source);
}

}  // namespace velmora::study
