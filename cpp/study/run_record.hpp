// What one grid point of a study leaves behind: its columns, its progress
// line, and the number-weighted summary of the model's final state over the
// sections that grew CNTs (final wall number above 1).
#pragma once
#include <cstddef>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "study/checkpoint.hpp"

namespace velmora::study {

inline constexpr const char* kNoValidSections = "No valid sections found";
inline constexpr const char* kArraysMissing = "Required data arrays not available";

// Outcome of one run. status 1 once all summaries are in; a run that fails
// part-way keeps the summaries computed before the failure.
struct RunSummary {
    int status = 0;
    std::string error_message;
    std::optional<double> N_total;
    std::optional<double> dm_avg;
    std::optional<double> L_cnt_avg;
    std::optional<double> wall_number_avg;
};

// The four summaries of a run as they are printed and drawn: record key, unit
// and what the number is. All are taken from the final state over the valid
// sections (final wall number above 1), weighted by their particle numbers.
struct SummaryQuantity {
    const char* key;
    const char* unit;
    const char* meaning;
};
inline constexpr SummaryQuantity kSummaryQuantities[] = {
    {"N_total", "1/kg gas", "particles in the sections with CNTs, wall number > 1"},
    {"dm_avg", "m", "number-weighted mean mobility diameter over those sections"},
    {"L_cnt_avg", "m", "number-weighted mean CNT length over those sections"},
    {"wall_number_avg", "-", "number-weighted mean CNT wall number over those sections"},
};

// Column names of a run record in their fixed order: simulation_id, map_type,
// <Y>_parameter, <X>_parameter, status, error_message, N_total, dm_avg,
// L_cnt_avg, wall_number_avg, then <key>_parameter_constant per constant key.
std::vector<std::string> record_columns(std::string_view y_key, std::string_view x_key,
                                        const std::vector<std::string>& constant_keys);

// "T=800K", "P=0.001molar fraction": key, '=', value as %.4g, unit without a blank.
std::string point_description(std::string_view key, double value, std::string_view unit);

// "Simulation 3/9: T=800K, P=0.001molar fraction".
std::string simulation_line(std::size_t current, std::size_t total, std::string_view y_description,
                            std::string_view x_description);

// Section indices 0 .. isec-1 (ascending) whose final wall number is above 1
// (NaN is not). Throws IndexError when isec exceeds the array.
std::vector<std::size_t> valid_sections(std::span<const double> final_wall_numbers, long long isec);

// Sum of final_y over the sections, in section order.
double total_number(std::span<const double> final_y, const std::vector<std::size_t>& sections);

// sum(values[offset + i] * final_y[i]) / total over the sections. The offset
// selects a block of a longer vector (the CNT lengths of carbon_data start at
// intnum); a negative position counts from the end, as the host indexes.
// Throws IndexError for a position outside either array. A zero total gives
// inf or NaN, as floating-point division does.
double number_weighted_mean(std::span<const double> values, long long offset, std::span<const double> final_y,
                            const std::vector<std::size_t>& sections, double total);

// The note a run's error_message carries when the integrator gave up on some
// outer steps but the run went on: "integration failed on 2 steps (first at
// step 5, z = 0.012 m: <message>)".
std::string integration_failure_note(std::size_t count, long long first_step, double first_position,
                                     std::string_view first_message);

// What the summaries need of a solved model: the last entry of each history
// it kept. arrays_present is false when the state or the wall numbers were
// not kept (fewer than two states, no wall numbers); a history that was not
// kept leaves its summary empty.
struct FinalState {
    bool arrays_present = false;
    std::vector<double> y, wall_numbers;  // last state, last wall number per section
    long long isec = 0;
    std::optional<std::vector<double>> mobility_diameters;  // last xdm entry
    std::optional<std::vector<double>> carbon_data;         // last carbon_data entry; lengths start at intnum
    long long intnum = 0;
};

// Writes the number-weighted summaries of the final state into `summary`,
// each as soon as it is known, so that a throw part-way (an index outside an
// array) leaves what was computed before it. Status 1 once all are in; a
// summary that came out NaN or infinite is no result: it is left empty, the
// status stays 0 and the message names it (non_finite_summary_note). A state
// without arrays or without valid sections gets kArraysMissing or
// kNoValidSections as its message.
void summarize_final_state(const FinalState& state, RunSummary& summary);

// status, error_message and the four summaries (None when empty) as the
// record's cells, in the record's column order.
FlatRecord summary_cells(const RunSummary& summary);

// Adds a note to the run's message ("<message>; <note>"), keeping its status and values.
void add_note(RunSummary& summary, const std::string& note);

// The error message of a run stopped at the study's time limit:
// "exceeded the time limit of 0.05 s" (whole seconds without a decimal point).
std::string time_limit_message(double seconds);

// Checks a study's run_timeout: a finite number of seconds above 0. Throws
// ValueError naming run_timeout otherwise.
void check_run_timeout(double seconds);

// A run whose summaries came out NaN or infinite has not succeeded: the note
// its record carries instead, naming the summaries ("a summary is not finite:
// dm_avg = nan, wall_number_avg = inf"), or "" when every one is finite.
std::string non_finite_summary_note(const std::vector<std::pair<std::string, double>>& summaries);

// "parametric_study_" + map_requested + "_" + YYYYmmdd_HHMMSS + ".csv".
std::string results_file_name(std::string_view map_requested, const std::tm& local_time);
std::tm local_time_now();

// The closing report of a study, starting with an empty line. Its last line
// names the results file, as saved or as not written.
std::vector<std::string> completion_lines(std::size_t total, std::size_t successful, std::string_view file_name,
                                          bool saved = true);

}  // namespace velmora::study
