#include "study/wall_labels.hpp"

#include <cmath>
#include <cstdio>

namespace velmora::study {

std::vector<bool> below_wall_threshold(std::span<const double> wall_number_avg, double threshold) {
    std::vector<bool> below(wall_number_avg.size());
    for (std::size_t i = 0; i < wall_number_avg.size(); ++i) below[i] = wall_number_avg[i] < threshold;
    return below;
}

std::vector<long long> class_labels(const std::vector<bool>& below) {
    std::vector<long long> labels(below.size());
    for (std::size_t i = 0; i < below.size(); ++i) labels[i] = below[i] ? 1 : 0;
    return labels;
}

std::size_t count_below(const std::vector<bool>& below) {
    std::size_t n = 0;
    for (const bool b : below) n += b ? 1 : 0;
    return n;
}

std::string fixed_text(double value, int decimals) {
    if (std::isnan(value)) return "nan";
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    return buf;
}

std::string filtered_point_line(double p, double t, double wall) {
    return "  P=" + fixed_text(p, 3) + ", T=" + fixed_text(t, 1) + ", wall=" + fixed_text(wall, 3);
}

std::vector<std::string> map_summary_lines(const MapSummary& s) {
    return {
        "Plots generated successfully!",
        "Enclosed region containing " + std::to_string(s.below_threshold_runs) + " points with wall_number_avg < 2",
        "",
        "Summary:",
        "- Created contour plots with " + std::to_string(s.data_points) + " data points",
        "- P_parameter ranges from " + s.p_min + " to " + s.p_max,
        "- T_parameter ranges from " + s.t_min + " to " + s.t_max,
        "- L_cnt_avg ranges from " + fixed_text(s.length_min, 6) + " to " + fixed_text(s.length_max, 6),
    };
}

}  // namespace velmora::study
