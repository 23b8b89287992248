// The four operating parameters a parametric study can vary, and the value
// grids it walks. Keys, names and units are those the study reports; the
// setting names say which wrapper settings give a parameter's grid ends and
// its value when it is held constant.
#pragma once
#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

namespace velmora::study {

struct StudyParameter {
    std::string_view key;            // one-letter key of a map request ("P", "T", "D", "L")
    std::string_view name;           // model quantity the key stands for
    std::string_view unit;           // unit appended to a value in the progress lines
    std::string_view apply_method;   // name of the configuration method that sets it on a model
    std::string_view range_min;      // setting: lower grid end
    std::string_view range_max;      // setting: upper grid end
    std::string_view constant;       // setting: value when not varied
};

// P (inlet C2H2 mole fraction), T, D, L, in this order of definition. The
// order is part of the interface: it is the order of the parameter table and
// of the constant parameters of a study.
const std::array<StudyParameter, 4>& study_parameters();

// The entry of `key`, or nullptr.
const StudyParameter* find_study_parameter(std::string_view key);

// Values per grid axis for a requested number of simulations: the integer part
// of sqrt(total). Throws ValueError for NaN or a negative total (no square
// root exists) and for an infinite one.
std::size_t grid_size_for(double total_data_points);

// `num` evenly spaced values from start to stop, both included, computed as
// numpy.linspace does (start + i * step, the last value set to stop exactly);
// one value gives {start}, zero values an empty grid.
std::vector<double> linspace(double start, double stop, std::size_t num);

}  // namespace velmora::study
