#include "study/study_parameters.hpp"

#include <cmath>
#include <string>
#include <type_traits>

#include "common/errors.hpp"
#include "common/output.hpp"

namespace velmora::study {

const std::array<StudyParameter, 4>& study_parameters() {
    static const std::array<StudyParameter, 4> table{{
        {"P", "c2h2_fraction", "molar fraction", "_apply_c2h2_concentration", "wrapper_mapping_phi", nullptr},
        {"T", "temperature", "K", "_apply_temperature", "wrapper_mapping_temp", "temp"},
        {"D", "dp_initial_premade", "m", "_apply_diameter", "wrapper_mapping_dp", "dp_initial_premade"},
        {"L", "reactor_length", "m", "_apply_reactor_length", "wrapper_mapping_l_reactor", "reactor_length"},
    }};
    return table;
}

const StudyParameter* find_study_parameter(std::string_view key) {
    for (const auto& p : study_parameters())
        if (p.key == key) return &p;
    return nullptr;
}

const std::array<StudySetting, kStudySettingCount>& study_settings() {
    using enum SettingRole;
    static const std::array<StudySetting, kStudySettingCount> table{{
        {"map_requested", "P&T", "", MapRequest,
         "the two varied keys joined by '&': the first the vertical axis Y, the second the horizontal X"},
        {"total_data_points", 100LL, "", TotalPoints,
         "requested number of simulations; the grid has int(sqrt(total_data_points)) values per axis"},
        {"pressure_range_min", 0.001, "P", RangeMin, "lower end of the P grid (inlet C2H2 mole fraction)"},
        {"pressure_range_max", 0.01, "P", RangeMax, "upper end of the P grid"},
        {"pressure_constant", 0.0045, "P", Constant, "P value when P is not varied"},
        {"temperature_range_min", 800LL, "T", RangeMin, "lower end of the T grid"},
        {"temperature_range_max", 1200LL, "T", RangeMax, "upper end of the T grid"},
        {"temperature_constant", 873LL, "T", Constant, "T value when T is not varied"},
        {"dp_initial_premade_range_min", 1e-8, "D", RangeMin, "lower end of the D grid (initial particle diameter)"},
        {"dp_initial_premade_range_max", 4e-8, "D", RangeMax, "upper end of the D grid"},
        {"dp_initial_premade_constant", 1.5e-8, "D", Constant, "D value when D is not varied"},
        {"reactor_length_range_min", 0.3, "L", RangeMin, "lower end of the L grid (reactor length)"},
        {"reactor_length_range_max", 0.9, "L", RangeMax, "upper end of the L grid"},
        {"reactor_length_range_constant", 0.6, "L", Constant, "L value when L is not varied"},
    }};
    return table;
}

const StudySetting& setting_of(std::string_view key, SettingRole role) {
    for (const auto& setting : study_settings())
        if (setting.key == key && setting.role == role) return setting;
    throw MissingKey(std::string(key));
}

std::string_view role_name(SettingRole role) {
    switch (role) {
        case SettingRole::MapRequest: return "map";
        case SettingRole::TotalPoints: return "points";
        case SettingRole::RangeMin: return "range_min";
        case SettingRole::RangeMax: return "range_max";
        case SettingRole::Constant: return "constant";
    }
    return "";
}

JsonValue default_of(const StudySetting& setting) {
    return std::visit(
        [](auto value) -> JsonValue {
            if constexpr (std::is_same_v<decltype(value), const char*>) return {std::string(value)};
            else return {value};
        },
        setting.default_value);
}

JsonValue study_setting_rows() {
    JsonValue::Array rows;
    for (const auto& setting : study_settings()) {
        const StudyParameter* parameter = find_study_parameter(setting.key);
        rows.push_back({JsonValue::Object{
            {"name", {std::string(setting.name)}},
            {"default", default_of(setting)},
            {"key", parameter ? JsonValue{std::string(setting.key)} : JsonValue{}},
            {"role", {std::string(role_name(setting.role))}},
            {"unit", {std::string(parameter ? parameter->unit : std::string_view())}},
            {"meaning", {std::string(setting.meaning)}}}});
    }
    return {std::move(rows)};
}

std::size_t grid_size_for(double total_data_points) {
    if (!(total_data_points >= 0.0) || std::isinf(total_data_points))
        throw InvalidValue("total_data_points must be a finite number of at least 0, got " + py_repr(total_data_points));
    return static_cast<std::size_t>(std::sqrt(total_data_points));
}

std::vector<double> linspace(double start, double stop, std::size_t num) {
    std::vector<double> values(num);
    if (num == 0) return values;
    if (num == 1) {
        values[0] = start;
        return values;
    }
    const double step = (stop - start) / static_cast<double>(num - 1);
    for (std::size_t i = 0; i < num; ++i) values[i] = static_cast<double>(i) * step + start;
    values[num - 1] = stop;
    return values;
}

JsonValue fixed_study_settings() {
    return {JsonValue::Object{{"total_data_points", {4LL}},
                              {"pressure_constant", {0.001}},
                              {"lambda_", {0.001}},
                              {"surface_kinetics_type", {std::string("Surface_Kinetics_Puretzky_etal_2005")}}}};
}

}  // namespace velmora::study
