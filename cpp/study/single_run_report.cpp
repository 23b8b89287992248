#include "study/single_run_report.hpp"

#include <iterator>
#include <string_view>
#include <tuple>

#include "common/output.hpp"
#include "study/run_record.hpp"

namespace velmora::study {

namespace {

std::string temperature_line(const TemperatureUse& use) {
    if (!use.low) return "  Temperature: unknown (no model)";
    const std::string range =
        *use.low == *use.high ? py_repr(*use.low) + " K" : py_repr(*use.low) + " to " + py_repr(*use.high) + " K";
    if (use.profile == "fixed") return "  Temperature: fixed at " + range + " (wrapper_mapping_temp)";
    return "  Temperature: profile " + use.profile + ", " + range;
}

}  // namespace

FlatRecord temperature_cells(const TemperatureUse& use) {
    const auto cell = [](const std::optional<double>& value) { return value ? CellValue(*value) : CellValue(); };
    return {{"temperature_profile", use.profile.empty() ? CellValue() : CellValue(use.profile)},
            {"temperature_min_K", cell(use.low)},
            {"temperature_max_K", cell(use.high)}};
}

std::vector<std::string> single_run_lines(const SingleRunReport& r) {
    const bool single_walled = r.outcome == RunOutcome::SingleWalled;
    const std::string ending = r.outcome == RunOutcome::Succeeded ? "Simulation finished"
                               : single_walled                    ? "Simulation finished single-walled"
                                                                  : "Simulation failed";
    std::vector<std::string> lines{
        ending + " in " + fmt_fixed(r.seconds, 2) + " s, " + std::to_string(r.steps) + " steps" +
            (r.steps ? " to z = " + r.final_position + " m" : std::string()),
        "  error_message: " + r.error_message + (single_walled ? " (every section at wall number 1)" : "")};
    // Each number with its unit and what it averages, as the run report draws it.
    static_assert(std::size(kSummaryQuantities) == std::tuple_size_v<decltype(r.summaries)>);
    for (std::size_t k = 0; k < std::size(kSummaryQuantities); ++k) {
        const auto& quantity = kSummaryQuantities[k];
        const std::optional<double>& value = r.summaries[k];
        const bool unit = value && std::string_view(quantity.unit) != "-";
        lines.push_back(std::string("  ") + quantity.key + ": " + (value ? py_repr(*value) : "None") +
                        (unit ? std::string(" ") + quantity.unit : std::string()) + "  [" + quantity.meaning + "]");
    }
    lines.push_back(temperature_line(r.temperatures));
    lines.push_back("  Histories: " + r.histories_npz + ", " + r.histories_csv);
    lines.push_back("  Summary: " + r.summary_json);
    return lines;
}

}  // namespace velmora::study
