#include "study/wall_labels.hpp"

#include <cmath>
#include <cstdio>

namespace velmora::study {

std::vector<bool> below_wall_threshold(std::span<const double> wall_number_avg, double threshold) {
    std::vector<bool> below(wall_number_avg.size());
    for (std::size_t i = 0; i < wall_number_avg.size(); ++i) below[i] = wall_number_avg[i] < threshold;
    return below;
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

std::vector<std::string> filter_report_lines(std::string_view threshold_text, const std::vector<bool>& below,
                                             std::span<const double> p, std::span<const double> t,
                                             std::span<const double> wall) {
    std::vector<std::string> lines{"",
                                   "Points with wall_number_avg < " + std::string(threshold_text) + ": " +
                                       std::to_string(count_below(below)),
                                   "Filtered points (P, T, wall_number):"};
    for (std::size_t i = 0; i < below.size(); ++i)
        if (below[i]) lines.push_back(filtered_point_line(p[i], t[i], wall[i]));
    return lines;
}

}  // namespace velmora::study
