#include "study/study_parameters.hpp"

#include <cmath>

#include "common/errors.hpp"

namespace velmora::study {

const std::array<StudyParameter, 4>& study_parameters() {
    static const std::array<StudyParameter, 4> table{{
        {"P", "c2h2_fraction", "molar fraction", "_apply_c2h2_concentration", "pressure_range_min",
         "pressure_range_max", "pressure_constant"},
        {"T", "temperature", "K", "_apply_temperature", "temperature_range_min", "temperature_range_max",
         "temperature_constant"},
        {"D", "dp_initial_premade", "m", "_apply_diameter", "dp_initial_premade_range_min",
         "dp_initial_premade_range_max", "dp_initial_premade_constant"},
        {"L", "reactor_length", "m", "_apply_reactor_length", "reactor_length_range_min", "reactor_length_range_max",
         "reactor_length_range_constant"},
    }};
    return table;
}

const StudyParameter* find_study_parameter(std::string_view key) {
    for (const auto& p : study_parameters())
        if (p.key == key) return &p;
    return nullptr;
}

std::size_t grid_size_for(double total_data_points) {
    if (std::isnan(total_data_points) || total_data_points < 0.0)
        throw ValueError("cannot convert float NaN to integer");
    if (std::isinf(total_data_points)) throw ValueError("cannot convert float infinity to integer");
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

}  // namespace velmora::study
