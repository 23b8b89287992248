// What a finished run of a study amounts to. A run whose every section ends at
// wall number 1 ("No valid sections found") is recorded with status 0, but it
// is a result, not a fault: the single-walled side of the map, below any wall
// threshold above 1. Tallies, exit codes, maps and classifier labels count it
// on its own; the results file keeps the recorded status and message.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora::study {

enum class RunOutcome { Succeeded, SingleWalled, Failed };

// Succeeded for status 1; SingleWalled for the "No valid sections found"
// message; Failed otherwise.
RunOutcome run_outcome(long long status, std::string_view error_message);

// "succeeded", "single-walled", "failed".
std::string_view outcome_name(RunOutcome outcome);

// Whether the outcome is a result a map can show (a success or single-walled).
bool is_result(RunOutcome outcome);

// Class label of a run for the wall-number classifier: 1 below the threshold
// (a success with wall_number_avg < threshold, or single-walled), 0 at or above
// it. A failed run has no label (-1): it takes no part in the training.
int outcome_label(RunOutcome outcome, double wall_number_avg, double threshold);

struct OutcomeTally {
    std::size_t total = 0, succeeded = 0, single_walled = 0, failed = 0;
    // Each distinct failure message with its count, in order of first appearance.
    std::vector<std::pair<std::string, std::size_t>> failure_messages;
};

void add_to_tally(OutcomeTally& tally, long long status, std::string_view error_message);

// One line: "25 runs: 20 succeeded, 3 single-walled (No valid sections found:
// no section above wall number 1), 2 failed: 2 x 'message'".
std::string tally_line(const OutcomeTally& tally);

}  // namespace velmora::study
