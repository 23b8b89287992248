#include "study/run_record.hpp"

#include "common/output.hpp"

#include <cmath>
#include <cstdio>

#include "common/errors.hpp"

namespace velmora::study {

namespace {

// Position in an array as the host resolves an index (negative from the end).
std::size_t resolve_index(long long index, std::size_t size) {
    const long long n = static_cast<long long>(size);
    const long long resolved = index < 0 ? index + n : index;
    if (resolved < 0 || resolved >= n)
        throw OutOfRange("index " + std::to_string(index) + " is out of bounds for axis 0 with size " +
                         std::to_string(size));
    return static_cast<std::size_t>(resolved);
}

}  // namespace

std::vector<std::string> record_columns(std::string_view y_key, std::string_view x_key,
                                        const std::vector<std::string>& constant_keys) {
    std::vector<std::string> columns{"simulation_id",
                                     "map_type",
                                     std::string(y_key) + "_parameter",
                                     std::string(x_key) + "_parameter",
                                     "status",
                                     "error_message",
                                     "N_total",
                                     "dm_avg",
                                     "L_cnt_avg",
                                     "wall_number_avg"};
    for (const auto& key : constant_keys) columns.push_back(key + "_parameter_constant");
    return columns;
}

std::string point_description(std::string_view key, double value, std::string_view unit) {
    std::string number;
    if (std::isnan(value)) {
        number = "nan";  // the host prints no sign for NaN
    } else {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.4g", value);
        number = buf;
    }
    return std::string(key) + "=" + number + std::string(unit);
}

std::string simulation_line(std::size_t current, std::size_t total, std::string_view y_description,
                            std::string_view x_description) {
    return "Simulation " + std::to_string(current) + "/" + std::to_string(total) + ": " +
           std::string(y_description) + ", " + std::string(x_description);
}

std::vector<std::size_t> valid_sections(std::span<const double> final_wall_numbers, long long isec) {
    std::vector<std::size_t> sections;
    for (long long i = 0; i < isec; ++i) {
        const std::size_t k = resolve_index(i, final_wall_numbers.size());
        if (final_wall_numbers[k] > 1.0) sections.push_back(k);
    }
    return sections;
}

double total_number(std::span<const double> final_y, const std::vector<std::size_t>& sections) {
    double total = 0.0;
    for (const std::size_t i : sections) total += final_y[resolve_index(static_cast<long long>(i), final_y.size())];
    return total;
}

double number_weighted_mean(std::span<const double> values, long long offset, std::span<const double> final_y,
                            const std::vector<std::size_t>& sections, double total) {
    double sum = 0.0;
    for (const std::size_t i : sections) {
        const long long position = offset + static_cast<long long>(i);
        sum += values[resolve_index(position, values.size())] *
               final_y[resolve_index(static_cast<long long>(i), final_y.size())];
    }
    return sum / total;
}

std::string integration_failure_note(std::size_t count, long long first_step, double first_position,
                                     std::string_view first_message) {
    return "integration failed on " + std::to_string(count) + (count == 1 ? " step" : " steps") + " (first at step " +
           std::to_string(first_step) + ", z = " + py_repr(first_position) + " m: " + std::string(first_message) + ")";
}

std::string time_limit_message(double seconds) {
    std::string text = py_repr(seconds);
    if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0) text.resize(text.size() - 2);
    return "exceeded the time limit of " + text + " s";
}

void check_run_timeout(double seconds) {
    if (!(seconds > 0.0) || !std::isfinite(seconds))
        throw InvalidValue("run_timeout must be a finite number of seconds above 0, got " + py_repr(seconds));
}

std::string non_finite_summary_note(const std::vector<std::pair<std::string, double>>& summaries) {
    std::string listed;
    for (const auto& [name, value] : summaries) {
        if (std::isfinite(value)) continue;
        listed += (listed.empty() ? "" : ", ") + name + " = " + (std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf");
    }
    return listed.empty() ? listed : "a summary is not finite: " + listed;
}

void summarize_final_state(const FinalState& state, RunSummary& summary) {
    if (!state.arrays_present) {
        summary.error_message = kArraysMissing;
        return;
    }
    const auto sections = valid_sections(state.wall_numbers, state.isec);
    if (sections.empty()) {
        summary.error_message = kNoValidSections;
        return;
    }
    const double total = total_number(state.y, sections);
    summary.N_total = total;
    if (state.mobility_diameters)
        summary.dm_avg = number_weighted_mean(*state.mobility_diameters, 0, state.y, sections, total);
    if (state.carbon_data)
        summary.L_cnt_avg = number_weighted_mean(*state.carbon_data, state.intnum, state.y, sections, total);
    summary.wall_number_avg = number_weighted_mean(state.wall_numbers, 0, state.y, sections, total);
    summary.status = 1;

    std::optional<double>* const fields[] = {&summary.N_total, &summary.dm_avg, &summary.L_cnt_avg,
                                             &summary.wall_number_avg};
    std::vector<std::pair<std::string, double>> computed;
    for (std::size_t k = 0; k < std::size(fields); ++k)
        if (*fields[k]) computed.emplace_back(kSummaryQuantities[k].key, **fields[k]);
    const std::string note = non_finite_summary_note(computed);
    if (note.empty()) return;
    for (std::optional<double>* field : fields)
        if (*field && !std::isfinite(**field)) field->reset();
    summary.status = 0;
    summary.error_message = note;
}

FlatRecord summary_cells(const RunSummary& summary) {
    FlatRecord cells{{"status", static_cast<long long>(summary.status)}, {"error_message", summary.error_message}};
    const std::optional<double> values[] = {summary.N_total, summary.dm_avg, summary.L_cnt_avg, summary.wall_number_avg};
    for (std::size_t k = 0; k < std::size(values); ++k) {
        CellValue cell;
        if (values[k]) cell = *values[k];
        cells.emplace_back(kSummaryQuantities[k].key, cell);
    }
    return cells;
}

void add_note(RunSummary& summary, const std::string& note) {
    if (note.empty()) return;
    summary.error_message = summary.error_message.empty() ? note : summary.error_message + "; " + note;
}

std::string results_file_name(std::string_view map_requested, const std::tm& local_time) {
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d_%H%M%S", &local_time);
    return "parametric_study_" + std::string(map_requested) + "_" + stamp + ".csv";
}

std::tm local_time_now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

std::vector<std::string> completion_lines(std::size_t total, std::size_t successful, std::string_view file_name,
                                          bool saved) {
    const std::size_t failed = total >= successful ? total - successful : 0;
    return {
        "",
        "Parametric Study Complete!",
        "  Total simulations: " + std::to_string(total),
        "  Successful: " + std::to_string(successful),
        "  Failed: " + std::to_string(failed),
        (saved ? "  Results saved to: " : "  Results NOT saved (the file could not be written): ") +
            std::string(file_name),
    };
}

}  // namespace velmora::study
