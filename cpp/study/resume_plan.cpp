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

std::string kind_name(const CellValue& value) {
    if (std::holds_alternative<std::monostate>(value)) return "missing";
    if (std::holds_alternative<bool>(value)) return "a boolean";
    if (std::holds_alternative<std::string>(value)) return "text";
    const double x = *as_number(value);
    if (std::isnan(x)) return "NaN";
    if (std::isinf(x)) return x > 0 ? "infinite" : "-infinite";
    return "a number";
}

}  // namespace

void require_study_record(const FlatRecord& record, const std::vector<std::string>& columns, const std::string& which) {
    bool same_columns = record.size() == columns.size();
    for (std::size_t c = 0; same_columns && c < columns.size(); ++c) same_columns = record[c].first == columns[c];
    if (!same_columns) throw InvalidValue(which + " does not have the columns of this study");
    if (const std::string why = implausible_record(record, columns); !why.empty())
        throw InvalidValue(which + " is not a finished run's record: " + why);
}

std::string implausible_record(const FlatRecord& record, const std::vector<std::string>& columns) {
    const auto wrong = [&](std::size_t c, const char* expected) {
        return columns[c] + " is " + kind_name(record[c].second) + ", not " + expected;
    };
    for (std::size_t c = 0; c < columns.size() && c < record.size(); ++c) {
        const CellValue& value = record[c].second;
        const auto number = as_number(value);
        switch (c) {
            case 0:
                if (!std::holds_alternative<long long>(value)) return wrong(c, "a whole number");
                break;
            case 1:
            case 5:
                if (!std::holds_alternative<std::string>(value)) return wrong(c, "text");
                break;
            case 4: {
                const long long* status = std::get_if<long long>(&value);
                if (!status || (*status != 0 && *status != 1)) return columns[c] + " must be 0 or 1";
                break;
            }
            case 6:
            case 7:
            case 8:
            case 9:
                // a finished run may leave a summary missing; one that came out
                // NaN or infinite is recorded as missing, in a failed run
                if (std::holds_alternative<std::monostate>(value)) break;
                if (!number || !std::isfinite(*number)) return wrong(c, "a finite number or missing");
                break;
            default:  // the two grid values and the constants
                if (!number || !std::isfinite(*number)) return wrong(c, "a finite number");
        }
    }
    return {};
}

std::vector<std::optional<std::size_t>> match_recorded_points(const std::vector<GridPoint>& grid,
                                                              const std::vector<std::string>& columns,
                                                              std::string_view map_requested,
                                                              const std::vector<FlatRecord>& recorded,
                                                              const std::vector<RecordPlace>& places) {
    std::unordered_map<long long, std::size_t> position_of;
    for (std::size_t k = 0; k < grid.size(); ++k) position_of[grid[k].simulation_id] = k;

    std::vector<std::optional<std::size_t>> matched(grid.size());
    for (std::size_t r = 0; r < recorded.size(); ++r) {
        const FlatRecord& record = recorded[r];
        const std::string which = (r < places.size() ? places[r].source + ", " + places[r].where + ": " : std::string()) +
                                  "recorded run " + std::to_string(r + 1);
        require_study_record(record, columns, which);
        const long long id = std::get<long long>(record[0].second);
        const auto found = position_of.find(id);
        if (found == position_of.end()) throw InvalidValue(which + " has no simulation_id of this study's grid");
        const std::string& map = std::get<std::string>(record[1].second);
        const GridPoint& point = grid[found->second];
        if (map != map_requested || !same_value(record[2].second, point.y_value) ||
            !same_value(record[3].second, point.x_value))
            throw InvalidValue(which + " (simulation_id " + std::to_string(id) +
                             ") was made by a different study: its map or parameter values differ");
        // The same run recorded twice: harmless when both records agree (a
        // copied line), a mix of two runs when they do not.
        if (const auto earlier = matched[found->second]) {
            if (checkpoint_line(recorded[*earlier]) != checkpoint_line(record))
                throw InvalidValue(which + " is a second, different record of simulation_id " + std::to_string(id) +
                                 " (the first is at " +
                                 (*earlier < places.size() ? places[*earlier].where : "recorded run " + std::to_string(*earlier + 1)) +
                                 ")");
            continue;
        }
        matched[found->second] = r;
    }
    return matched;
}

std::string resume_line(std::size_t recorded, std::size_t total, std::string_view source) {
    return "Resuming: " + std::to_string(recorded) + " of " + std::to_string(total) +
           " simulations already recorded in " + std::string(source);
}

}  // namespace velmora::study
