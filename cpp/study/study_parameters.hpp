// The settings of a parametric study, written once: the four operating
// parameters a study can vary (key, model quantity, unit) and the fourteen
// settings of Mapping_Wrapper (name, default, unit, which key and which role),
// in the constructor's order. The wrapper's constructor, its type stub, the
// command line's --range/--constant options and the README's settings table
// are all read from these two tables.
#pragma once
#include <array>
#include <cstddef>
#include <string_view>
#include <variant>
#include <vector>

#include "study/checkpoint.hpp"

namespace velmora::study {

struct StudyParameter {
    std::string_view key;            // one-letter key of a map request ("P", "T", "D", "L")
    std::string_view name;           // model quantity the key stands for
    std::string_view unit;           // unit appended to a value in the progress lines
    std::string_view apply_method;   // name of the configuration method that sets it on a model
    // Applying a value sets the model's attribute record_attribute (the
    // study's record of the value), then model_attribute; P has none, it sets
    // the inlet composition (c2h2_inlet_composition).
    const char* record_attribute;
    const char* model_attribute;
};

// P (inlet C2H2 mole fraction), T, D, L, in this order of definition. The
// order is part of the interface: it is the order of the parameter table and
// of the constant parameters of a study.
const std::array<StudyParameter, 4>& study_parameters();

// The entry of `key`, or nullptr.
const StudyParameter* find_study_parameter(std::string_view key);

// What a setting gives: the map request, the requested number of runs, or for
// one key its lower grid end, upper grid end or value when held constant.
enum class SettingRole { MapRequest, TotalPoints, RangeMin, RangeMax, Constant };

struct StudySetting {
    const char* name;  // constructor parameter and attribute of Mapping_Wrapper
    // Default as the constructor stores it: text, or a number that keeps its
    // kind (800 stays an integer, 0.001 a float).
    std::variant<const char*, long long, double> default_value;
    std::string_view key;  // "P", "T", "D", "L"; empty for the map request and the total
    SettingRole role;
    std::string_view meaning;
};

inline constexpr std::size_t kStudySettingCount = 14;

// The constructor parameters of Mapping_Wrapper in their order.
const std::array<StudySetting, kStudySettingCount>& study_settings();

// The setting of `key` with `role` (RangeMin, RangeMax or Constant).
const StudySetting& setting_of(std::string_view key, SettingRole role);

std::string_view role_name(SettingRole role);

// A setting's default as a value (text, integer or float).
JsonValue default_of(const StudySetting& setting);

// The settings table for readers outside the core (stub, README, command
// line): one object per setting in the constructor's order, with name,
// default, key ("P", "T", "D", "L" or null), role (role_name), unit and meaning.
JsonValue study_setting_rows();

// Values per grid axis for a requested number of simulations: the integer part
// of sqrt(total). Throws InvalidValue for NaN, a negative or an infinite total.
std::size_t grid_size_for(double total_data_points);

// `num` evenly spaced values from start to stop, both included, computed as
// numpy.linspace does (start + i * step, the last value set to stop exactly);
// one value gives {start}, zero values an empty grid.
std::vector<double> linspace(double start, double stop, std::size_t num);

// The study module's fixed study (what running the module as a program does):
// a 2 x 2 grid of C2H2 mole fraction and temperature with Puretzky surface
// kinetics. The settings it names, as constructor keywords; every other
// setting is the table's default.
JsonValue fixed_study_settings();

}  // namespace velmora::study
