#include "study/boundary_search.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/errors.hpp"
#include "common/output.hpp"
#include "study/run_record.hpp"

namespace velmora::study::boundary {

std::optional<double> function_value(std::optional<double> wall_number) {
    if (!wall_number || !std::isfinite(*wall_number)) return std::nullopt;
    return std::log(std::max(*wall_number, 1.0));
}

std::optional<double> run_value(long long status, const std::string& error_message,
                                std::optional<double> wall_number_avg) {
    if (status == 1 && wall_number_avg && std::isfinite(*wall_number_avg) && *wall_number_avg > 0.0)
        return std::log(*wall_number_avg);
    if (status != 1 && error_message == kNoValidSections) return 0.0;
    return std::nullopt;
}

std::vector<std::size_t> fill_batch(const Lattice& lattice, const std::vector<Point>& observed, std::size_t count) {
    std::vector<Point> taken = observed;
    std::vector<std::size_t> batch;
    while (batch.size() < count) {
        std::size_t best = lattice.size();
        double best_gap = -1.0;
        for (std::size_t i = 0; i < lattice.size(); ++i) {
            const Point p = lattice.point(i);
            double gap = std::numeric_limits<double>::infinity();
            for (const Point& q : taken) gap = std::min(gap, scaled_distance(p, q));
            if (gap > best_gap) {
                best_gap = gap;
                best = i;
            }
        }
        if (best == lattice.size() || best_gap <= 0.0) break;
        batch.push_back(best);
        taken.push_back(lattice.point(best));
    }
    return batch;
}

namespace {

std::string percent(double scaled) {
    if (!std::isfinite(scaled)) return "unbounded";
    return fmt_fixed(100.0 * scaled, scaled < 0.01 ? 2 : 1) + " %";
}

}  // namespace

SearchOutcome run_boundary_search(const SearchSettings& settings, Evaluator& evaluator, Surrogate& surrogate,
                                  const RoundReport& report) {
    if (settings.dimension == 0) throw InvalidValue("a boundary search needs at least one study parameter");
    if (settings.budget < 1) throw InvalidValue("budget must be at least 1");
    if (settings.batch_size < 1) throw InvalidValue("batch_size must be at least 1");
    if (!std::isfinite(settings.level)) throw InvalidValue("the wall-number threshold must be finite and above 0");
    if (!(settings.tolerance >= 0.0)) throw InvalidValue("tolerance must be 0 or positive");
    const std::size_t per_axis =
        settings.per_axis ? settings.per_axis : default_lattice_resolution(settings.dimension);
    SearchOutcome outcome;
    outcome.lattice = Lattice(settings.dimension, per_axis);
    const Lattice& lattice = outcome.lattice;
    // Closer runs than this add nothing the surrogate does not know: half a
    // lattice step in every direction.
    const double min_gap = 0.5 * lattice.spacing() * std::sqrt(static_cast<double>(settings.dimension));

    const auto run_round = [&](std::vector<Point> points) {
        std::vector<PlannedRun> runs;
        for (Point& p : points) {
            const long long id = static_cast<long long>(outcome.observations.size() + runs.size() + 1);
            runs.push_back({id, std::move(p), outcome.rounds});
        }
        const std::vector<std::optional<double>> values = evaluator.evaluate(runs);
        if (values.size() != runs.size()) throw InvalidValue("the evaluator returned a wrong number of values");
        for (std::size_t k = 0; k < runs.size(); ++k) outcome.observations.push_back({runs[k], values[k]});
        ++outcome.rounds;
    };

    const std::size_t start =
        std::min(settings.budget, settings.start_runs ? settings.start_runs
                                                      : start_design_size(settings.budget, settings.dimension));
    run_round(space_filling_design(start, settings.dimension, settings.seed));

    while (true) {
        std::vector<Point> all, usable, failed;
        std::vector<double> values;
        for (const Observation& o : outcome.observations) {
            all.push_back(o.run.x);
            if (o.value) {
                usable.push_back(o.run.x);
                values.push_back(*o.value);
            } else {
                failed.push_back(o.run.x);
            }
        }
        outcome.fitted = usable.size() >= 2;
        // The runs go where the fit itself is unsure (`fitted`); what the
        // study reports and stops on (`outcome.field`) is widened between the
        // runs wherever the fit does not resolve the field.
        SurrogateField fitted;
        if (outcome.fitted) {
            fitted = surrogate.fit(usable, values, lattice);
            if (fitted.mean.size() != lattice.size() || fitted.sd.size() != lattice.size())
                throw InvalidValue("the surrogate returned a field of the wrong size");
            outcome.field = fitted;
            if (fitted.unresolved) widen_between_runs(lattice, outcome.field, usable);
            outcome.band = boundary_band(lattice, outcome.field, settings.level);
        }
        const std::size_t used = outcome.observations.size();
        if (report && outcome.fitted) {
            std::string line = "  Round " + std::to_string(outcome.rounds - 1) + ": " + std::to_string(used) + " of " +
                               std::to_string(settings.budget) + " runs, ";
            line += outcome.band.crossing ? "boundary band +/- " + percent(outcome.band.max_half_width) +
                                                " of the span (widest), " + percent(outcome.band.mean_half_width) +
                                                " (mean)"
                                          : std::string("no boundary in the plane yet");
            report(line);
        }
        if (used >= settings.budget) {
            outcome.reason = StopReason::budget;
            break;
        }
        if (outcome.fitted && settings.tolerance > 0.0) {
            if (outcome.band.crossing && outcome.band.max_half_width <= settings.tolerance) {
                outcome.reason = StopReason::tolerance;
                break;
            }
            if (!outcome.band.crossing && outcome.band.max_straddle < 0.0) {
                outcome.reason = StopReason::no_boundary;
                break;
            }
        }
        const std::size_t count = std::min(settings.batch_size, settings.budget - used);
        const std::vector<std::size_t> nodes =
            outcome.fitted ? select_batch(lattice, fitted, settings.level, all, failed, count, min_gap)
                           : fill_batch(lattice, all, count);
        if (nodes.empty()) {
            outcome.reason = StopReason::no_candidates;
            break;
        }
        std::vector<Point> points;
        for (const std::size_t node : nodes) points.push_back(lattice.point(node));
        run_round(std::move(points));
    }
    return outcome;
}

std::string stop_reason_text(const SearchOutcome& outcome, const SearchSettings& settings) {
    switch (outcome.reason) {
        case StopReason::budget:
            return "Stopped at the budget of " + std::to_string(settings.budget) + " runs";
        case StopReason::tolerance:
            return "Stopped early: boundary band +/- " + percent(outcome.band.max_half_width) +
                   " of the span, within the tolerance of " + percent(settings.tolerance);
        case StopReason::no_boundary:
            return "Stopped early: no boundary in the plane (every point lies on one side with 95 % confidence)";
        case StopReason::no_candidates:
            return "Stopped early: no point of the plane is left to run";
    }
    return {};
}

}  // namespace velmora::study::boundary
