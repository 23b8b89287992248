// Labelling of study runs by their mean CNT wall number: a run is in class 1
// when its wall_number_avg lies below the threshold (few-walled tubes); a
// failed run (NaN) is never below it.
#pragma once
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::study {

// One flag per run: wall_number_avg[i] < threshold (false for NaN).
std::vector<bool> below_wall_threshold(std::span<const double> wall_number_avg, double threshold);

// 1 where the flag is set, 0 elsewhere.
std::vector<long long> class_labels(const std::vector<bool>& below);

std::size_t count_below(const std::vector<bool>& below);

// "  P=0.005, T=900.0, wall=1.234": P %.3f, T %.1f, wall %.3f.
std::string filtered_point_line(double p, double t, double wall);

// The host's ".<decimals>f" text of a float (NaN without a sign).
std::string fixed_text(double value, int decimals);

// The closing summary of a visualisation, starting with the success line.
// The min/max texts of P and T are the host's default number text.
struct MapSummary {
    std::size_t below_threshold_runs = 0;  // runs under the wall-number threshold
    std::size_t data_points = 0;           // rows of the results file
    std::string p_min, p_max, t_min, t_max;
    double length_min = 0.0, length_max = 0.0;
};
std::vector<std::string> map_summary_lines(const MapSummary& summary);

}  // namespace velmora::study
