// The boundary search: rounds of runs placed where the boundary is least
// certain, until the budget is spent or the boundary is known well enough.
//
// Round 0 runs a space-filling design. Every later round fits the surrogate
// of log(wall number) to all usable runs so far (in the order they were
// planned), evaluates it on the lattice and picks the next batch there
// (select_batch). The search is a pure function of its settings and of the
// values its runs return: the same settings and values give the same points,
// which is what lets a killed study resume by replaying its rounds against
// the recorded runs.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "study/boundary_design.hpp"
#include "study/boundary_selection.hpp"

namespace velmora::study::boundary {

struct SearchSettings {
    std::size_t dimension = 2;
    std::size_t budget = 25;      // runs at most, failed ones included
    std::size_t batch_size = 1;   // runs per round (one per worker)
    double level = 0.0;           // log(wall-number threshold)
    double tolerance = 0.0;       // stop once the band half-width is at most this (scaled); 0: never
    std::uint64_t seed = 0;
    std::size_t start_runs = 0;   // 0: start_design_size(budget, dimension)
    std::size_t per_axis = 0;     // 0: default_lattice_resolution(dimension)
};

// A run the search asks for: its number (1-based, in plan order), point and round.
struct PlannedRun {
    long long id = 0;
    Point x;
    std::size_t round = 0;
};

// A run and what it gave: log(wall number), or nothing for a failed run.
struct Observation {
    PlannedRun run;
    std::optional<double> value;
};

// The value a finished run contributes: log(wall_number_avg) for a
// successful run; 0 (wall number 1, below any threshold above 1) for a run
// in which no section grew past one wall ("No valid sections found"); none
// for a failed run, which is left out of the fit and never run again.
std::optional<double> run_value(long long status, const std::string& error_message,
                                std::optional<double> wall_number_avg);

// The value of a point of a search over a plain function from the wall
// number the function gave: log(wall number), a wall number of 1 or less
// counting as 1; none (a failed point) for a missing or non-finite one.
std::optional<double> function_value(std::optional<double> wall_number);

class Surrogate {
public:
    virtual ~Surrogate() = default;
    // Fits to the points (scaled) and values, evaluates on the lattice.
    virtual SurrogateField fit(const std::vector<Point>& points, const std::vector<double>& values,
                               const Lattice& lattice) = 0;
};

class Evaluator {
public:
    virtual ~Evaluator() = default;
    // One value per run, in the order given.
    virtual std::vector<std::optional<double>> evaluate(const std::vector<PlannedRun>& runs) = 0;
};

enum class StopReason { budget, tolerance, no_boundary, no_candidates };

struct SearchOutcome {
    std::vector<Observation> observations;
    bool fitted = false;          // a surrogate was fitted (at least two usable runs)
    SurrogateField field;         // the last fit, on `lattice`
    Lattice lattice{2, 3};
    BandMeasure band;
    StopReason reason = StopReason::budget;
    std::size_t rounds = 0;       // rounds run, the start design included
};

// One line per round for the printed log.
using RoundReport = std::function<void(const std::string&)>;

SearchOutcome run_boundary_search(const SearchSettings& settings, Evaluator& evaluator, Surrogate& surrogate,
                                  const RoundReport& report = {});

// "budget of 25 runs spent", "boundary band narrower than 0.2 % of the span", ...
std::string stop_reason_text(const SearchOutcome& outcome, const SearchSettings& settings);

// Nodes farthest from every point so far, for rounds without a surrogate
// (fewer than two usable runs): greedy maximin fill of the lattice.
std::vector<std::size_t> fill_batch(const Lattice& lattice, const std::vector<Point>& observed, std::size_t count);

}  // namespace velmora::study::boundary
