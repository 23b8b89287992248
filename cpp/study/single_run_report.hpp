// The printed report of one simulation outside a study (velmora run): how it
// ended, its four summaries with units and meanings, the temperature it had,
// and where its files are.
#pragma once
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "study/checkpoint.hpp"
#include "study/run_outcome.hpp"

namespace velmora::study {

// The temperature a run had: the profile that set it ("fixed" when a study's
// wrapper_mapping_temp held it) and its lowest and highest value.
struct TemperatureUse {
    std::string profile;
    std::optional<double> low, high;
};

// The temperature as the run's summary document keeps it:
// temperature_profile, temperature_min_K, temperature_max_K (None when unknown).
FlatRecord temperature_cells(const TemperatureUse& use);

struct SingleRunReport {
    RunOutcome outcome = RunOutcome::Failed;
    std::string error_message;
    double seconds = 0.0;
    std::size_t steps = 0;
    std::string final_position;                            // as the host prints it
    std::array<std::optional<double>, 4> summaries{};      // in kSummaryQuantities order; none when missing
    TemperatureUse temperatures;
    std::string histories_npz, histories_csv, summary_json;
};

// "Simulation finished in 1.23 s, 40 steps to z = 0.02 m", "  error_message: ...",
// one line per summary, the temperature, the files.
std::vector<std::string> single_run_lines(const SingleRunReport& report);

}  // namespace velmora::study
