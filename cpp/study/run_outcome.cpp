#include "study/run_outcome.hpp"

#include <algorithm>

#include "study/run_record.hpp"

namespace velmora::study {

RunOutcome run_outcome(long long status, std::string_view error_message) {
    if (status == 1) return RunOutcome::Succeeded;
    if (error_message == kNoValidSections) return RunOutcome::SingleWalled;
    return RunOutcome::Failed;
}

std::string_view outcome_name(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::Succeeded: return "succeeded";
        case RunOutcome::SingleWalled: return "single-walled";
        case RunOutcome::Failed: break;
    }
    return "failed";
}

bool is_result(RunOutcome outcome) { return outcome != RunOutcome::Failed; }

int outcome_label(RunOutcome outcome, double wall_number_avg, double threshold) {
    switch (outcome) {
        case RunOutcome::SingleWalled: return threshold > 1.0 ? 1 : 0;
        case RunOutcome::Succeeded: return wall_number_avg < threshold ? 1 : 0;  // NaN: not below
        case RunOutcome::Failed: break;
    }
    return -1;
}

void add_to_tally(OutcomeTally& tally, long long status, std::string_view error_message) {
    ++tally.total;
    switch (run_outcome(status, error_message)) {
        case RunOutcome::Succeeded: ++tally.succeeded; return;
        case RunOutcome::SingleWalled: ++tally.single_walled; return;
        case RunOutcome::Failed: break;
    }
    ++tally.failed;
    auto& messages = tally.failure_messages;
    const auto known = std::find_if(messages.begin(), messages.end(),
                                    [&](const auto& entry) { return entry.first == error_message; });
    if (known != messages.end()) {
        ++known->second;
    } else {
        messages.emplace_back(std::string(error_message), 1);
    }
}

namespace {

// The host's repr of a text: single quotes unless the text holds one and no double quote.
std::string quoted(const std::string& text) {
    const bool use_double = text.find('\'') != std::string::npos && text.find('"') == std::string::npos;
    const char quote = use_double ? '"' : '\'';
    std::string out(1, quote);
    for (const char c : text) {
        if (c == '\\' || c == quote) out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + quote;
}

}  // namespace

std::string tally_line(const OutcomeTally& tally) {
    std::string line = std::to_string(tally.total) + (tally.total == 1 ? " run: " : " runs: ") +
                       std::to_string(tally.succeeded) + " succeeded, " + std::to_string(tally.single_walled) +
                       " single-walled (" + kNoValidSections + ": no section above wall number 1), " +
                       std::to_string(tally.failed) + " failed";
    for (std::size_t k = 0; k < tally.failure_messages.size(); ++k) {
        const auto& [message, count] = tally.failure_messages[k];
        line += (k == 0 ? ": " : "; ") + std::to_string(count) + " x " + quoted(message);
    }
    return line;
}

}  // namespace velmora::study
