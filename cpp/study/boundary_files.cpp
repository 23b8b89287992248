#include "study/boundary_files.hpp"

#include <cmath>

#include "common/errors.hpp"
#include "common/output.hpp"
#include "study/checkpoint.hpp"
#include "study/run_record.hpp"

namespace velmora::study::boundary {

namespace {

constexpr std::string_view kUniformPrefix = "parametric_study_";
constexpr std::string_view kPrefix = "boundary_study_";

std::string percent_text(double scaled) {
    if (!std::isfinite(scaled)) return "unbounded";
    return fmt_fixed(100.0 * scaled, scaled < 0.01 ? 2 : 1) + " %";
}

}  // namespace

std::string results_file_name(std::string_view map_requested, const std::tm& local_time) {
    return std::string(kPrefix) + study::results_file_name(map_requested, local_time).substr(kUniformPrefix.size());
}

std::string checkpoint_file_name(std::string_view map_requested) {
    return std::string(kPrefix) + study::checkpoint_file_name(map_requested).substr(kUniformPrefix.size());
}

std::string curve_file_name(std::string_view results_file_name) {
    std::string stem(results_file_name);
    if (stem.size() >= 4 && stem.compare(stem.size() - 4, 4, ".csv") == 0) stem.resize(stem.size() - 4);
    return stem + "_boundary.csv";
}

std::vector<std::string> curve_columns(std::string_view y_key, std::string_view x_key) {
    return {std::string(y_key) + "_parameter", std::string(x_key) + "_parameter", "segment", "wall_number_low",
            "wall_number_high", "band_half_width"};
}

std::vector<CurveRow> curve_rows(const std::vector<CurvePoint>& curve, const std::vector<StudyAxis>& axes,
                                 double level) {
    if (axes.size() != 2) throw InvalidValue("a boundary curve has two study axes");
    std::vector<CurveRow> rows;
    rows.reserve(curve.size());
    for (const CurvePoint& p : curve) {
        rows.push_back({axes[0].value(p.u), axes[1].value(p.v), p.segment,
                        std::exp(level - kBandQuantile * p.sd), std::exp(level + kBandQuantile * p.sd),
                        p.half_width});
    }
    return rows;
}

std::vector<std::string> completion_lines(const BoundaryReport& r) {
    std::vector<std::string> lines{"", "Boundary Study Complete!"};
    lines.push_back("  Runs: " + std::to_string(r.runs) + " of a budget of " + std::to_string(r.budget) + " (" +
                    std::to_string(r.successful) + " successful, " + std::to_string(r.no_valid) +
                    " with no valid sections (wall number 1), " + std::to_string(r.failed) + " failed)");
    lines.push_back("  Rounds: " + std::to_string(r.rounds) + " (a start design of " + std::to_string(r.start_runs) +
                    " runs, then batches of up to " + std::to_string(r.batch_size) + ")");
    lines.push_back("  " + r.stop);
    if (!r.fitted) {
        lines.push_back("  Boundary: none (fewer than two usable runs to fit the surrogate)");
    } else if (!r.band.crossing) {
        lines.push_back("  Boundary: none in the plane (every point lies on one side of the threshold)");
    } else {
        lines.push_back("  Boundary: " + std::to_string(r.pieces) + (r.pieces == 1 ? " piece, " : " pieces, ") +
                        std::to_string(r.curve_points) + " points; 95 % band +/- " +
                        percent_text(r.band.max_half_width) + " of the span at its widest, " +
                        percent_text(r.band.mean_half_width) + " on average");
    }
    if (r.fitted) {
        std::string line = "  Surrogate: Gaussian process of log(wall number), correlation lengths";
        for (std::size_t k = 0; k < r.axis_keys.size() && k < r.length_scales.size(); ++k)
            line += (k ? ", " : " ") + r.axis_keys[k] + " " + fmt_fixed(r.length_scales[k], 2);
        line += " of the span, run-to-run scatter " + fmt_fixed(r.noise_sd, 3) + " in log(wall number)";
        lines.push_back(line);
        if (r.unresolved)
            lines.push_back(
                "  Warning: the wall number changes faster than the runs resolve (a jump?); the band reaches to the"
                " nearest runs there, and a boundary piece narrower than the runs' spacing may be missed: raise the"
                " budget or check with a coarse uniform study");
    }
    lines.push_back(r.results_saved ? "  Results saved to: " + r.results_file
                                    : "  Results NOT saved (the file could not be written): " + r.results_file);
    if (!r.curve_file.empty())
        lines.push_back(r.curve_saved ? "  Boundary saved to: " + r.curve_file
                                      : "  Boundary NOT saved (the file could not be written): " + r.curve_file);
    return lines;
}

}  // namespace velmora::study::boundary
