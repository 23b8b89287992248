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

std::size_t count_below(const std::vector<bool>& below);

// "  P=0.005, T=900.0, wall=1.234": P %.3f, T %.1f, wall %.3f.
std::string filtered_point_line(double p, double t, double wall);

// What filtering a results file prints: an empty line, "Points with
// wall_number_avg < <threshold>: <count>", "Filtered points (P, T,
// wall_number):" and one filtered_point_line per run below the threshold
// (p and t may be empty when none is).
std::vector<std::string> filter_report_lines(std::string_view threshold_text, const std::vector<bool>& below,
                                             std::span<const double> p, std::span<const double> t,
                                             std::span<const double> wall);

// A float with `decimals` digits after the point ("nan" for NaN, whatever its sign bit).
std::string fixed_text(double value, int decimals);

}  // namespace velmora::study
