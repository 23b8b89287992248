// The files and printed report of a boundary study: file names, the columns
// of the boundary table, the conversion between scaled and study coordinates,
// and the closing summary.
#pragma once
#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "study/boundary_curve.hpp"
#include "study/boundary_search.hpp"

namespace velmora::study::boundary {

// "boundary_study_<map>_YYYYmmdd_HHMMSS.csv": the run records, columns as a
// parametric study's results file.
std::string results_file_name(std::string_view map_requested, const std::tm& local_time);

// "boundary_study_<map>.checkpoint.jsonl": one per map, apart from the
// checkpoint of a uniform study of the same map.
std::string checkpoint_file_name(std::string_view map_requested);

// "<results stem>_boundary.csv".
std::string curve_file_name(std::string_view results_file_name);

// Columns of the boundary table: the two map columns of the results file
// ("P_parameter", "T_parameter"), then "segment", the 95 % interval of the
// wall number the surrogate gives on the curve ("wall_number_low",
// "wall_number_high"), and "band_half_width": the 95 % uncertainty of the
// curve's position normal to it, as a fraction of the span (both axes scaled
// to [0, 1]).
std::vector<std::string> curve_columns(std::string_view y_key, std::string_view x_key);

// One row of the boundary table in study units.
struct CurveRow {
    double y = 0.0, x = 0.0;
    std::size_t segment = 0;
    double wall_low = 0.0, wall_high = 0.0, half_width = 0.0;
};

// The axes of a study: lattice axis 0 is Y, axis 1 is X. Scaled 0 and 1 give
// the range ends exactly (a run never lies outside the range by rounding).
struct StudyAxis {
    std::string key;
    double lower = 0.0, upper = 1.0;
    double value(double scaled) const { return lower * (1.0 - scaled) + upper * scaled; }
};

std::vector<CurveRow> curve_rows(const std::vector<CurvePoint>& curve, const std::vector<StudyAxis>& axes,
                                 double level);

// The closing report, starting with an empty line.
struct BoundaryReport {
    std::size_t runs = 0, successful = 0, no_valid = 0, failed = 0, budget = 0;
    std::size_t rounds = 0, start_runs = 0, batch_size = 1;
    std::string stop;             // stop_reason_text
    std::size_t pieces = 0, curve_points = 0;
    bool fitted = false;
    BandMeasure band;
    std::vector<std::string> axis_keys;
    std::vector<double> length_scales;
    double noise_sd = 0.0;
    bool unresolved = false;
    std::string results_file, curve_file;
    bool results_saved = true, curve_saved = true;
};
std::vector<std::string> completion_lines(const BoundaryReport& report);

}  // namespace velmora::study::boundary
