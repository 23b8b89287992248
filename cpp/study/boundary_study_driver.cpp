#include "study/boundary_study_driver.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "common/errors.hpp"
#include "common/output.hpp"
#include "study/run_record.hpp"

namespace velmora::study::boundary {

namespace {

double cell_number(const CellValue& value) {
    if (const double* x = std::get_if<double>(&value)) return *x;
    if (const long long* n = std::get_if<long long>(&value)) return static_cast<double>(*n);
    return std::nan("");
}

const CellValue& cell(const FlatRecord& record, const std::string& key) {
    static const CellValue missing;
    for (const auto& [name, value] : record)
        if (name == key) return value;
    return missing;
}

// What a finished run contributes to the search (run_value of its record).
std::optional<double> value_of_record(const FlatRecord& record) {
    const CellValue& status = cell(record, "status");
    const CellValue& message = cell(record, "error_message");
    const double wall = cell_number(cell(record, "wall_number_avg"));
    const auto* text = std::get_if<std::string>(&message);
    return run_value(static_cast<long long>(cell_number(status)), text ? *text : std::string(),
                     std::isnan(wall) ? std::nullopt : std::optional(wall));
}

}  // namespace

SearchSettings search_settings(const SearchOptions& options) {
    if (options.dimension < 1) throw InvalidValue("dimension must be at least 1");
    SearchSettings s;
    s.dimension = static_cast<std::size_t>(options.dimension);
    if (options.budget < 1) throw InvalidValue("budget must be at least 1");
    s.budget = static_cast<std::size_t>(options.budget);
    if (options.batch_size < 1) throw InvalidValue("batch_size must be at least 1");
    s.batch_size = static_cast<std::size_t>(options.batch_size);
    if (!(std::isfinite(options.threshold) && options.threshold > 1.0))
        throw InvalidValue("threshold must be a finite wall number above 1");
    s.level = std::log(options.threshold);
    s.tolerance = options.tolerance;
    if (!(s.tolerance >= 0.0 && std::isfinite(s.tolerance))) throw InvalidValue("tolerance must be 0 or a positive number");
    s.seed = static_cast<std::uint64_t>(options.seed);
    if (options.start_runs) s.start_runs = *options.start_runs;
    if (options.resolution) {
        s.per_axis = *options.resolution;
        if (s.per_axis < 3) throw InvalidValue("resolution must be at least 3");
    }
    return s;
}

JsonValue with_search_settings(JsonValue study_settings, const SearchSettings& search) {
    JsonValue::Object own{
        {"budget", JsonValue{static_cast<long long>(search.budget)}},
        {"batch_size", JsonValue{static_cast<long long>(search.batch_size)}},
        {"threshold", JsonValue{std::exp(search.level)}},
        {"tolerance", JsonValue{search.tolerance}},
        {"seed", JsonValue{static_cast<long long>(search.seed)}},
    };
    if (auto* members = std::get_if<JsonValue::Object>(&study_settings.value))
        members->emplace_back("boundary_search", JsonValue{std::move(own)});
    return study_settings;
}

void check_axes(const std::vector<StudyAxis>& axes) {
    for (const StudyAxis& axis : axes)
        if (!(std::isfinite(axis.lower) && std::isfinite(axis.upper) && axis.upper > axis.lower))
            throw InvalidValue("the range of " + axis.key + " must be two finite numbers, the lower one first (got " +
                             py_repr(axis.lower) + " to " + py_repr(axis.upper) + ")");
}

std::vector<std::string> header_lines(const std::vector<StudyAxis>& axes, const std::vector<std::string>& constant_keys,
                                      const SearchSettings& settings, const std::string& threshold_text) {
    std::string constants = "[";
    for (std::size_t k = 0; k < constant_keys.size(); ++k)
        constants += (k ? ", '" : "'") + constant_keys[k] + "'";
    constants += "]";
    return {"  Varying parameters: " + axes[0].key + " & " + axes[1].key + " (" + py_repr(axes[0].lower) + " to " +
                py_repr(axes[0].upper) + ", " + py_repr(axes[1].lower) + " to " + py_repr(axes[1].upper) + ")",
            "  Constant parameters: " + constants,
            "  Budget: " + std::to_string(settings.budget) + " simulations in batches of " +
                std::to_string(settings.batch_size) + ", wall-number threshold " + threshold_text};
}

std::vector<FlatRecord> RecordedStudyRuns::all() const {
    std::vector<FlatRecord> records;
    for (const auto& [id, record] : by_id) records.push_back(record);
    return records;
}

RecordedStudyRuns index_recorded_runs(const std::vector<FlatRecord>& records, const std::vector<RecordPlace>& places,
                                      const std::vector<std::string>& columns) {
    RecordedStudyRuns runs;
    for (std::size_t r = 0; r < records.size(); ++r) {
        const FlatRecord& record = records[r];
        const std::string place = places[r].source + ", " + places[r].where;
        require_study_record(record, columns, place + ": recorded run");
        const long long id = std::get<long long>(record[0].second);
        runs.by_id[id] = record;  // a later record of the same run replaces an earlier one
        runs.place[id] = place;
    }
    return runs;
}

StudyRunsEvaluator::StudyRunsEvaluator(Plan plan, RecordedStudyRuns recorded, StudyCheckpoint& checkpoint,
                                       StudyHooks hooks)
    : plan_(std::move(plan)), recorded_(std::move(recorded)), checkpoint_(checkpoint), hooks_(std::move(hooks)) {}

StudyRun StudyRunsEvaluator::study_run(const PlannedRun& run) const {
    StudyRun out;
    out.id = run.id;
    out.y = plan_.axes[0].value(run.x[0]);
    out.x = plan_.axes[1].value(run.x[1]);
    out.line = simulation_line(static_cast<std::size_t>(run.id), plan_.budget,
                               point_description(plan_.axes[0].key, out.y, plan_.units[0]),
                               point_description(plan_.axes[1].key, out.x, plan_.units[1]));
    return out;
}

void StudyRunsEvaluator::keep(const FlatRecord& record) {
    if (const std::string failed = checkpoint_.append(record); !failed.empty()) hooks_.show(failed);
    hooks_.advance();
}

std::vector<std::optional<double>> StudyRunsEvaluator::evaluate(const std::vector<PlannedRun>& runs) {
    std::vector<FlatRecord> batch(runs.size());
    std::vector<StudyRun> to_run;
    std::vector<std::size_t> slot_of;
    for (std::size_t k = 0; k < runs.size(); ++k) {
        const StudyRun run = study_run(runs[k]);
        const auto found = recorded_.by_id.find(run.id);
        if (found == recorded_.by_id.end()) {
            to_run.push_back(run);
            slot_of.push_back(k);
            continue;
        }
        const FlatRecord& flat = found->second;
        const auto* map = std::get_if<std::string>(&flat[1].second);
        if (!map || *map != plan_.map_requested || cell_number(flat[2].second) != run.y ||
            cell_number(flat[3].second) != run.x)
            throw InvalidValue(recorded_.place[run.id] + ": recorded run (simulation_id " + std::to_string(run.id) +
                             ") was made by a different study: its map or parameter values differ from this "
                             "study's plan (other settings, budget, batch size or seed)");
        batch[k] = flat;
        ++reused_;
        hooks_.reuse(run, flat);
        hooks_.advance();
    }
    if (!to_run.empty()) {
        // Runs are added only where the records end: a record beyond this
        // batch means the plan being replayed is not the one recorded.
        if (!recorded_.by_id.empty() && recorded_.by_id.rbegin()->first > runs.back().id) {
            const long long last = recorded_.by_id.rbegin()->first;
            throw InvalidValue(recorded_.place[last] + ": recorded run (simulation_id " + std::to_string(last) +
                             ") was made by a different study: this study's plan has other runs before it");
        }
        hooks_.run(to_run, [&](std::size_t j, const FlatRecord& record) {
            keep(record);
            batch[slot_of.at(j)] = record;
        });
    }
    std::vector<std::optional<double>> values;
    for (std::size_t k = 0; k < runs.size(); ++k) {
        records_[runs[k].id] = batch[k];
        values.push_back(value_of_record(batch[k]));
    }
    return values;
}

BoundaryReport study_report(const SearchOutcome& outcome, const SearchSettings& settings,
                            const std::map<long long, FlatRecord>& records, const std::vector<CurveRow>& rows,
                            std::vector<std::string> axis_keys) {
    BoundaryReport report;
    for (const auto& [id, record] : records) {
        const auto* message = std::get_if<std::string>(&cell(record, "error_message"));
        if (cell_number(cell(record, "status")) == 1.0) ++report.successful;
        else if (message && *message == kNoValidSections) ++report.no_valid;
        else ++report.failed;
    }
    report.runs = outcome.observations.size();
    report.budget = settings.budget;
    report.rounds = outcome.rounds;
    for (const auto& o : outcome.observations) report.start_runs += o.run.round == 0;
    report.batch_size = settings.batch_size;
    report.stop = stop_reason_text(outcome, settings);
    report.fitted = outcome.fitted;
    report.band = outcome.band;
    for (const auto& row : rows) report.pieces = std::max(report.pieces, row.segment + 1);
    report.curve_points = rows.size();
    report.axis_keys = std::move(axis_keys);
    report.length_scales = outcome.field.length_scales;
    report.noise_sd = outcome.field.noise_sd;
    report.unresolved = outcome.field.unresolved;
    return report;
}

}  // namespace velmora::study::boundary
