// The boundary study: Mapping_Wrapper.run_boundary_study and the general
// boundary_search over a function of scaled parameters.
//
// The search itself (start design, rounds, selection, stopping, the curve) is
// the core's (study/boundary_*). This file supplies its two outside parts:
// the surrogate, a call of velmora.core._boundary_gp.fit_predict per round
// (scikit-learn), and the runs, which are the study's own single-point runs
// (create_model_with_parameters in this process, or the module task
// _run_study_point on an executor), recorded, checkpointed and written as a
// study's results file.
#include <cmath>
#include <exception>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "common/plain_class.hpp"
#include "parameter_sweep/study_binding.hpp"
#include "parameter_sweep/study_points.hpp"
#include "parameter_sweep/study_settings.hpp"
#include "study/boundary_curve.hpp"
#include "study/boundary_files.hpp"
#include "study/boundary_search.hpp"
#include "study/checkpoint.hpp"
#include "study/resume_plan.hpp"
#include "study/run_record.hpp"
#include "study/study_parameters.hpp"
#include "study/study_settings.hpp"

namespace velmora::bind::sweep {

namespace {

namespace bd = study::boundary;

py::object boundary_gp() { return py::module_::import("velmora.core._boundary_gp"); }
py::object boundary_io() { return py::module_::import("velmora.core._boundary_io"); }

py::array_t<double> table_of(const std::vector<bd::Point>& points, std::size_t dimension) {
    py::array_t<double> out({static_cast<py::ssize_t>(points.size()), static_cast<py::ssize_t>(dimension)});
    double* data = out.mutable_data();
    for (const bd::Point& p : points)
        for (std::size_t k = 0; k < dimension; ++k) *data++ = p[k];
    return out;
}

// The Gaussian process of _boundary_gp: one fit and one prediction per round.
class GaussianProcessSurrogate : public bd::Surrogate {
public:
    explicit GaussianProcessSurrogate(std::uint64_t seed) : seed_(seed) {}
    bd::SurrogateField fit(const std::vector<bd::Point>& points, const std::vector<double>& values,
                           const bd::Lattice& lattice) override {
        if (nodes_.is_none() || nodes_size_ != lattice.size()) {
            const std::vector<double> table = lattice.table();
            py::array_t<double> nodes({static_cast<py::ssize_t>(lattice.size()),
                                       static_cast<py::ssize_t>(lattice.dimension())});
            std::copy(table.begin(), table.end(), nodes.mutable_data());
            nodes_ = nodes;
            nodes_size_ = lattice.size();
        }
        py::dict fitted = boundary_gp().attr("fit_predict")(table_of(points, lattice.dimension()), to_numpy(values),
                                                           nodes_, py::int_(seed_));
        bd::SurrogateField field;
        field.mean = real_vector(fitted["mean"], "surrogate mean");
        field.sd = real_vector(fitted["sd"], "surrogate sd");
        field.length_scales = real_vector(fitted["length_scales"], "length scales");
        field.noise_sd = real_number(fitted["noise_sd"], "noise sd");
        if (fitted.contains("rough_sd")) field.rough_sd = real_number(fitted["rough_sd"], "rough sd");
        kernel_ = text_of(fitted["kernel"]);
        return field;
    }
    const std::string& kernel() const { return kernel_; }

private:
    std::uint64_t seed_;
    py::object nodes_ = py::none();
    std::size_t nodes_size_ = 0;
    std::string kernel_;
};

// --- the search over a plain function --------------------------------------

// Calls function(points) once per round; it returns one wall number per
// point (NaN or None for a failed point; 1 or less counts as wall number 1).
class FunctionEvaluator : public bd::Evaluator {
public:
    FunctionEvaluator(py::object function, std::size_t dimension) : function_(std::move(function)), dimension_(dimension) {}
    std::vector<std::optional<double>> evaluate(const std::vector<bd::PlannedRun>& runs) override {
        std::vector<bd::Point> points;
        for (const auto& run : runs) points.push_back(run.x);
        py::object returned = function_(table_of(points, dimension_));
        std::vector<std::optional<double>> values;
        for (py::handle item : returned) {
            const std::optional<double> wall = item.is_none() ? std::nullopt : std::optional(real_number(item, "wall number"));
            if (!wall || !std::isfinite(*wall)) values.emplace_back();
            else values.emplace_back(std::log(std::max(*wall, 1.0)));
        }
        check_length(values.size(), runs.size(), "the values the function returned");
        return values;
    }

private:
    py::object function_;
    std::size_t dimension_;
};

py::array_t<double> field_array(const std::vector<double>& values, const bd::Lattice& lattice) {
    // Lattice node order has the first axis fastest: as a C array of shape
    // (per_axis, ..., per_axis) the first axis is the last index.
    std::vector<py::ssize_t> shape(lattice.dimension(), static_cast<py::ssize_t>(lattice.per_axis()));
    py::array_t<double> out(shape);
    std::copy(values.begin(), values.end(), out.mutable_data());
    return out;
}

bd::SearchSettings search_settings(std::size_t dimension, py::object budget, py::object batch_size, py::object threshold,
                                   py::object tolerance, py::object seed, py::object start_runs, py::object resolution) {
    bd::SearchSettings s;
    s.dimension = dimension;
    const long long b = integer_number(budget, "budget");
    if (b < 1) throw py::value_error("budget must be at least 1");
    s.budget = static_cast<std::size_t>(b);
    const long long batch = integer_number(batch_size, "batch_size");
    if (batch < 1) throw py::value_error("batch_size must be at least 1");
    s.batch_size = static_cast<std::size_t>(batch);
    const double t = real_number(threshold, "threshold");
    if (!(std::isfinite(t) && t > 1.0)) throw py::value_error("threshold must be a finite wall number above 1");
    s.level = std::log(t);
    s.tolerance = real_number(tolerance, "tolerance");
    if (!(s.tolerance >= 0.0 && std::isfinite(s.tolerance))) throw py::value_error("tolerance must be 0 or a positive number");
    s.seed = static_cast<std::uint64_t>(integer_number(seed, "seed"));
    if (!start_runs.is_none()) s.start_runs = count_number(start_runs, "start_runs");
    if (!resolution.is_none()) {
        s.per_axis = count_number(resolution, "resolution");
        if (s.per_axis < 3) throw py::value_error("resolution must be at least 3");
    }
    return s;
}

py::dict outcome_dict(const bd::SearchOutcome& outcome, const bd::SearchSettings& settings, const std::string& kernel) {
    py::dict result;
    std::vector<bd::Point> points;
    std::vector<double> values;
    py::list rounds;
    for (const auto& o : outcome.observations) {
        points.push_back(o.run.x);
        values.push_back(o.value ? std::exp(*o.value) : std::nan(""));
        rounds.append(py::int_(o.run.round));
    }
    result["points"] = table_of(points, settings.dimension);
    result["wall_numbers"] = to_numpy(values);
    result["rounds"] = rounds;
    result["stop"] = py::str(bd::stop_reason_text(outcome, settings));
    result["fitted"] = py::bool_(outcome.fitted);
    result["crossing"] = py::bool_(outcome.band.crossing);
    result["band_max"] = outcome.band.max_half_width;
    result["band_mean"] = outcome.band.mean_half_width;
    result["axis"] = to_numpy([&] {
        std::vector<double> axis;
        for (std::size_t i = 0; i < outcome.lattice.per_axis(); ++i) axis.push_back(outcome.lattice.coordinate(i));
        return axis;
    }());
    if (outcome.fitted) {
        result["mean"] = field_array(outcome.field.mean, outcome.lattice);
        result["sd"] = field_array(outcome.field.sd, outcome.lattice);
        result["length_scales"] = to_numpy(outcome.field.length_scales);
        result["noise_sd"] = outcome.field.noise_sd;
        result["rough_sd"] = outcome.field.rough_sd;
        result["kernel"] = py::str(kernel);
    }
    py::list curve;
    if (outcome.fitted && settings.dimension == 2) {
        for (const auto& p : bd::level_curve(outcome.lattice, outcome.field, settings.level)) {
            py::dict row;
            row["u"] = p.u;
            row["v"] = p.v;
            row["segment"] = py::int_(p.segment);
            row["sd"] = p.sd;
            row["band_half_width"] = p.half_width;
            curve.append(row);
        }
    }
    result["curve"] = curve;
    return result;
}

py::dict boundary_search(py::object function, py::object dimension, py::object budget, py::object batch_size,
                         py::object threshold, py::object tolerance, py::object seed, py::object start_runs,
                         py::object resolution) {
    const long long d = integer_number(dimension, "dimension");
    if (d < 1) throw py::value_error("dimension must be at least 1");
    const bd::SearchSettings settings = search_settings(static_cast<std::size_t>(d), budget, batch_size, threshold,
                                                        tolerance, seed, start_runs, resolution);
    FunctionEvaluator evaluator(function, settings.dimension);
    GaussianProcessSurrogate surrogate(settings.seed);
    const bd::SearchOutcome outcome = bd::run_boundary_search(settings, evaluator, surrogate);
    return outcome_dict(outcome, settings, surrogate.kernel());
}

// --- the study -------------------------------------------------------------

// Records of an earlier run of the same study, by simulation_id.
struct RecordedBoundaryRuns {
    std::map<long long, study::FlatRecord> by_id;
    std::map<long long, std::string> place;
    std::vector<study::FlatRecord> all;
};

// The settings of a boundary study: those of any study (map, ranges,
// constants, model keywords) and the search's own, which fix its points.
study::JsonValue boundary_settings_of(py::handle wrapper, py::handle config, const bd::SearchSettings& search) {
    study::JsonValue settings = study_settings_of(wrapper, config, "boundary");
    study::JsonValue::Object own{
        {"budget", study::JsonValue{static_cast<long long>(search.budget)}},
        {"batch_size", study::JsonValue{static_cast<long long>(search.batch_size)}},
        {"threshold", study::JsonValue{std::exp(search.level)}},
        {"tolerance", study::JsonValue{search.tolerance}},
        {"seed", study::JsonValue{static_cast<long long>(search.seed)}},
    };
    if (auto* members = std::get_if<study::JsonValue::Object>(&settings.value))
        members->emplace_back("boundary_search", study::JsonValue{std::move(own)});
    return settings;
}

RecordedBoundaryRuns load_boundary_records(const py::object& source, const std::vector<std::string>& columns,
                                           const study::JsonValue& settings) {
    const std::string name = text_of(source);
    const std::string text = results_file().attr("read_bytes")(source).cast<std::string>();
    std::vector<study::FlatRecord> records;
    std::vector<std::string> places;
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && text[first] == '{') {
        study::CheckpointContents contents;
        try {
            contents = study::read_checkpoint_text(text);
        } catch (const ValueError& e) {
            throw ValueError(name + ": " + e.what());
        }
        check_same_study(contents.settings, settings, name + ", line " + std::to_string(contents.settings_line_number));
        records = std::move(contents.records);
        for (const std::size_t line : contents.line_numbers) places.push_back(name + ", line " + std::to_string(line));
    } else {
        check_same_study(settings_beside(name), settings, study::settings_file_name(name));
        std::size_t row = 0;
        for (py::handle record : results_file().attr("read_results_csv")(source)) {
            records.push_back(flat_record_of(record));
            places.push_back(name + ", row " + std::to_string(++row));
        }
    }
    RecordedBoundaryRuns runs;
    for (std::size_t r = 0; r < records.size(); ++r) {
        const study::FlatRecord& record = records[r];
        bool same_columns = record.size() == columns.size();
        for (std::size_t c = 0; same_columns && c < columns.size(); ++c) same_columns = record[c].first == columns[c];
        if (!same_columns) throw ValueError(places[r] + ": recorded run does not have the columns of this study");
        if (const std::string why = study::implausible_record(record, columns); !why.empty())
            throw ValueError(places[r] + ": recorded run is not a finished run's record: " + why);
        const long long id = std::get<long long>(record[0].second);
        runs.by_id[id] = record;  // a later record of the same run replaces an earlier one
        runs.place[id] = places[r];
    }
    for (const auto& [id, record] : runs.by_id) runs.all.push_back(record);
    return runs;
}

double cell_number(const study::CellValue& value) {
    if (const double* x = std::get_if<double>(&value)) return *x;
    if (const long long* n = std::get_if<long long>(&value)) return static_cast<double>(*n);
    return std::nan("");
}

std::optional<double> value_of_record(py::handle record) {
    const long long status = integer_number(record["status"], "status");
    const std::string message = text_of(record["error_message"]);
    py::object wall = record["wall_number_avg"];
    const std::optional<double> w = wall.is_none() ? std::nullopt : std::optional(real_number(wall, "wall_number_avg"));
    return bd::run_value(status, message, w);
}

// The runs of a boundary study: reused from the resume records where the
// plan asks for a recorded run, else run here or on the executor.
class StudyEvaluator : public bd::Evaluator {
public:
    py::object self, config, map_type, constant_keys, constant_values, executor = py::none();
    py::object run_timeout = py::none();  // seconds a run may take, or None
    std::vector<std::string> columns;
    std::vector<bd::StudyAxis> axes;
    std::vector<std::string> units;
    std::size_t budget = 0;
    RecordedBoundaryRuns recorded;
    study::CheckpointWriter* checkpoint = nullptr;
    std::string checkpoint_name;
    std::map<long long, py::object> records;  // every record of this study, by simulation_id
    std::size_t reused = 0;
    py::object bar = py::none();  // _study_execution.Progress: printed lines and the tqdm bar

    void show(const std::string& line) const { bar.attr("show")(line); }

    std::vector<std::optional<double>> evaluate(const std::vector<bd::PlannedRun>& runs) override {
        std::vector<py::object> batch(runs.size());
        std::vector<std::size_t> to_run;
        for (std::size_t k = 0; k < runs.size(); ++k) {
            const auto& run = runs[k];
            const double y = axes[0].value(run.x[0]), x = axes[1].value(run.x[1]);
            const auto found = recorded.by_id.find(run.id);
            if (found == recorded.by_id.end()) {
                to_run.push_back(k);
                continue;
            }
            const study::FlatRecord& flat = found->second;
            if (std::get<std::string>(flat[1].second) != text_of(map_type) || cell_number(flat[2].second) != y ||
                cell_number(flat[3].second) != x)
                throw ValueError(recorded.place[run.id] + ": recorded run (simulation_id " + std::to_string(run.id) +
                                 ") was made by a different study: its map or parameter values differ from this "
                                 "study's plan (other settings, budget, batch size or seed)");
            batch[k] = record_of(flat);
            ++reused;
            bar.attr("advance")();
        }
        if (!to_run.empty()) {
            // Runs are added only where the records end: a record beyond this
            // batch means the plan being replayed is not the one recorded.
            const long long last = runs.back().id;
            if (!recorded.by_id.empty() && recorded.by_id.rbegin()->first > last)
                throw ValueError(recorded.place[recorded.by_id.rbegin()->first] + ": recorded run (simulation_id " +
                                 std::to_string(recorded.by_id.rbegin()->first) +
                                 ") was made by a different study: this study's plan has other runs before it");
            run_new(runs, to_run, batch);
        }
        std::vector<std::optional<double>> values;
        for (std::size_t k = 0; k < runs.size(); ++k) {
            records[runs[k].id] = batch[k];
            values.push_back(value_of_record(batch[k]));
        }
        return values;
    }

private:
    std::string line_of(const bd::PlannedRun& run) const {
        return study::simulation_line(static_cast<std::size_t>(run.id), budget,
                                      study::point_description(axes[0].key, axes[0].value(run.x[0]), units[0]),
                                      study::point_description(axes[1].key, axes[1].value(run.x[1]), units[1]));
    }

    void keep(py::object record) {
        if (checkpoint->is_open() && !checkpoint->append(flat_record_of(record)))
            show("Checkpoint file not written (" + checkpoint_name + "): " + checkpoint->error());
        bar.attr("advance")();
    }

    void run_new(const std::vector<bd::PlannedRun>& runs, const std::vector<std::size_t>& to_run,
                 std::vector<py::object>& batch) {
        if (executor.is_none()) {
            for (const std::size_t k : to_run) {
                const auto& run = runs[k];
                show(line_of(run));
                py::float_ y(axes[0].value(run.x[0])), x(axes[1].value(run.x[1]));
                py::dict record = new_run_record(columns, py::int_(run.id), map_type, y, x, constant_keys, constant_values);
                run_into_record(record, [&]() { return self.attr("create_model_with_parameters")(config, y, x); });
                keep(record);
                batch[k] = record;
            }
            return;
        }
        py::list columns_list;
        for (const auto& column : columns) columns_list.append(py::str(column));
        py::list jobs;
        for (const std::size_t k : to_run) {
            const auto& run = runs[k];
            py::dict description;
            description["simulation_id"] = py::int_(run.id);
            description["map_type"] = map_type;
            description["columns"] = columns_list;
            description["Y_parameter"] = py::str(axes[0].key);
            description["X_parameter"] = py::str(axes[1].key);
            description["y_value"] = py::float_(axes[0].value(run.x[0]));
            description["x_value"] = py::float_(axes[1].value(run.x[1]));
            description["constant_parameters"] = constant_keys;
            description["constant_values"] = constant_values;
            jobs.append(py::make_tuple(k, py::make_tuple(description, py::dict(self.attr("Velmora_kwargs")))));
        }
        py::object outcomes = study_execution().attr("run_on_executor")(executor, module_global("_run_study_point"),
                                                                        jobs, false, run_timeout);
        for (py::handle item : outcomes) {
            const auto k = static_cast<std::size_t>(index_number(item[py::int_(0)]));
            if (item[py::int_(1)].is_none()) {  // stopped at the time limit: a failed run like any other
                const auto& run = runs[k];
                py::dict record = time_limited_record(columns, py::int_(run.id), map_type,
                                                      py::float_(axes[0].value(run.x[0])),
                                                      py::float_(axes[1].value(run.x[1])), constant_keys,
                                                      constant_values, run_timeout);
                show(line_of(run));
                show("    Failed: " + text_of(record["error_message"]));
                keep(record);
                batch[k] = record;
                continue;
            }
            py::tuple outcome = item[py::int_(1)];
            std::string printed = text_of(outcome[1]);
            if (!printed.empty() && printed.back() == '\n') printed.pop_back();
            show(line_of(runs[k]));
            if (!printed.empty()) show(printed);
            keep(outcome[0]);
            batch[k] = outcome[0];
        }
    }
};

// Shuts down the study's own process pool however the study ends.
struct OwnPool {
    py::object pool = py::none();
    ~OwnPool() {
        if (pool.is_none()) return;
        try {
            study_execution().attr("_shut_down")(pool, true);
        } catch (py::error_already_set&) {
        }
    }
};

py::list run_boundary_study(py::object self, py::object budget, py::object threshold, py::object max_workers,
                            py::object executor, py::object resume, py::object batch_size, py::object tolerance,
                            py::object seed, bool progress, py::object run_timeout) {
    if (!max_workers.is_none() && !executor.is_none())
        throw py::value_error("give either max_workers or executor, not both");
    if (!max_workers.is_none() && index_number(max_workers) < 1) throw py::value_error("max_workers must be at least 1");
    max_workers = check_time_limit(run_timeout, max_workers, executor);
    if (batch_size.is_none()) {
        if (!max_workers.is_none()) batch_size = max_workers;
        else if (!executor.is_none()) batch_size = py::int_(2);
        else batch_size = py::int_(1);
    }
    const bd::SearchSettings settings =
        search_settings(2, budget, batch_size, threshold, tolerance, seed, py::none(), py::none());

    velmora::print_line("Starting Boundary Study...");
    velmora::print_line(std::string(60, '='));
    // The configuration's own lines describe a uniform grid; a boundary study prints its own.
    py::object buffer = py::module_::import("io").attr("StringIO")();
    py::object quiet = py::module_::import("contextlib").attr("redirect_stdout")(buffer);
    quiet.attr("__enter__")();
    py::object config;
    try {
        config = self.attr("ParametricStudyConfig")(self);
    } catch (...) {
        quiet.attr("__exit__")(py::none(), py::none(), py::none());
        throw;
    }
    quiet.attr("__exit__")(py::none(), py::none(), py::none());

    StudyEvaluator evaluator;
    evaluator.self = self;
    evaluator.config = config;
    evaluator.map_type = self.attr("map_requested");
    evaluator.constant_keys = config.attr("constant_parameters");
    evaluator.constant_values = config.attr("constant_values");
    evaluator.budget = settings.budget;
    evaluator.run_timeout = run_timeout;
    std::vector<std::string> constant_names;
    for (py::handle key : evaluator.constant_keys) constant_names.push_back(text_of(key));
    const std::string y_key = text_of(config.attr("Y_parameter")), x_key = text_of(config.attr("X_parameter"));
    for (const std::string& key : {y_key, x_key}) {
        const study::StudyParameter* parameter = study::find_study_parameter(key);
        const char* low_name = study::setting_of(key, study::SettingRole::RangeMin).name;
        const char* high_name = study::setting_of(key, study::SettingRole::RangeMax).name;
        const double lower = real_number(self.attr(low_name), low_name);
        const double upper = real_number(self.attr(high_name), high_name);
        if (!(std::isfinite(lower) && std::isfinite(upper) && upper > lower))
            throw py::value_error("the range of " + key + " must be two finite numbers, the lower one first (got " +
                                  py_repr(lower) + " to " + py_repr(upper) + ")");
        evaluator.axes.push_back({key, lower, upper});
        evaluator.units.emplace_back(parameter->unit);
    }
    evaluator.columns = study::record_columns(y_key, x_key, constant_names);
    const std::string map_text = text_of(evaluator.map_type);

    print_lines({"  Varying parameters: " + y_key + " & " + x_key + " (" + py_repr(evaluator.axes[0].lower) + " to " +
                     py_repr(evaluator.axes[0].upper) + ", " + py_repr(evaluator.axes[1].lower) + " to " +
                     py_repr(evaluator.axes[1].upper) + ")",
                 "  Constant parameters: " + text_of(py::repr(evaluator.constant_keys)),
                 "  Budget: " + std::to_string(settings.budget) + " simulations in batches of " +
                     std::to_string(settings.batch_size) + ", wall-number threshold " +
                     text_of(py::repr(threshold))});

    const study::JsonValue study_settings = boundary_settings_of(self, config, settings);
    if (!resume.is_none()) {
        evaluator.recorded = load_boundary_records(resume, evaluator.columns, study_settings);
        velmora::print_line(study::resume_line(evaluator.recorded.by_id.size(), settings.budget, text_of(resume)));
    }
    const std::string checkpoint_name = bd::checkpoint_file_name(map_text);
    study::CheckpointWriter checkpoint;
    if (checkpoint.start(checkpoint_name, evaluator.recorded.all, &study_settings))
        velmora::print_line("Checkpoint file: " + checkpoint_name);
    else
        velmora::print_line("Checkpoint file not written (" + checkpoint_name + "): " + checkpoint.error());
    evaluator.checkpoint = &checkpoint;
    evaluator.checkpoint_name = checkpoint_name;

    OwnPool own;
    if (!max_workers.is_none()) own.pool = evaluator.executor = study_execution().attr("process_pool")(max_workers);
    else if (!executor.is_none()) evaluator.executor = executor;

    GaussianProcessSurrogate surrogate(settings.seed);
    boundary_gp().attr("start_import")();
    evaluator.bar = study_execution().attr("Progress")(progress, settings.budget, 0);
    const bd::SearchOutcome outcome = bd::run_boundary_search(settings, evaluator, surrogate,
                                                              [&](const std::string& line) { evaluator.show(line); });
    evaluator.bar.attr("close")();
    checkpoint.close();

    py::list results;
    bd::BoundaryReport report;
    for (const auto& [id, record] : evaluator.records) {
        results.append(record);
        const long long status = integer_number(record["status"], "status");
        if (status == 1) ++report.successful;
        else if (text_of(record["error_message"]) == study::kNoValidSections) ++report.no_valid;
        else ++report.failed;
    }
    const std::string results_name = bd::results_file_name(map_text, study::local_time_now());
    report.results_saved = py::bool_(self.attr("save_results")(results, results_name));
    if (report.results_saved && !write_settings_beside(results_name, study_settings)) {
        velmora::print_line("Error saving results: settings file " + study::settings_file_name(results_name) +
                            " not written");
        report.results_saved = false;
    }
    report.results_file = results_name;

    std::vector<bd::CurveRow> rows;
    if (outcome.fitted) rows = bd::curve_rows(bd::level_curve(outcome.lattice, outcome.field, settings.level),
                                              evaluator.axes, settings.level);
    const std::vector<std::string> curve_columns = bd::curve_columns(y_key, x_key);
    py::list curve;
    for (const auto& row : rows) {
        py::dict r;
        r[curve_columns[0].c_str()] = row.y;
        r[curve_columns[1].c_str()] = row.x;
        r[curve_columns[2].c_str()] = py::int_(row.segment);
        r[curve_columns[3].c_str()] = row.wall_low;
        r[curve_columns[4].c_str()] = row.wall_high;
        r[curve_columns[5].c_str()] = row.half_width;
        curve.append(r);
    }
    report.curve_file = bd::curve_file_name(results_name);
    try {
        boundary_io().attr("write_table_csv")(curve, py::cast(curve_columns), report.curve_file);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_Exception)) throw;
        velmora::print_line("Error saving boundary: " + text_of(e.value()));
        report.curve_saved = false;
    }

    report.runs = outcome.observations.size();
    report.budget = settings.budget;
    report.rounds = outcome.rounds;
    report.start_runs = outcome.observations.empty() ? 0 : [&] {
        std::size_t n = 0;
        for (const auto& o : outcome.observations) n += o.run.round == 0;
        return n;
    }();
    report.batch_size = settings.batch_size;
    report.stop = bd::stop_reason_text(outcome, settings);
    report.fitted = outcome.fitted;
    report.band = outcome.band;
    for (const auto& row : rows) report.pieces = std::max(report.pieces, row.segment + 1);
    report.curve_points = rows.size();
    report.axis_keys = {y_key, x_key};
    report.length_scales = outcome.field.length_scales;
    report.noise_sd = outcome.field.noise_sd;
    report.rough_sd = outcome.field.rough_sd;

    py::setattr(self, "last_generated_filename", py::str(results_name));
    py::setattr(self, "last_boundary_filename", py::str(report.curve_file));
    py::setattr(self, "results", results);
    py::setattr(self, "results_saved", py::bool_(report.results_saved));
    py::dict state = outcome_dict(outcome, settings, surrogate.kernel());
    state["threshold"] = threshold;
    state["columns"] = py::make_tuple(py::str(y_key + "_parameter"), py::str(x_key + "_parameter"));
    state["ranges"] = py::make_tuple(py::make_tuple(evaluator.axes[0].lower, evaluator.axes[0].upper),
                                     py::make_tuple(evaluator.axes[1].lower, evaluator.axes[1].upper));
    state["boundary"] = curve;
    state["boundary_columns"] = py::cast(curve_columns);
    state["reused"] = py::int_(evaluator.reused);
    py::setattr(self, "boundary_state", state);
    print_lines(bd::completion_lines(report));
    return results;
}

py::object boundary_frame(py::object self) {
    py::object state = py::getattr(self, "boundary_state", py::none());
    if (state.is_none()) throw py::value_error("No boundary study has been run yet. Please run run_boundary_study() first.");
    return boundary_io().attr("table_frame")(state["boundary"], state["boundary_columns"]);
}

}  // namespace

void register_boundary_study(py::module_& m, py::object wrapper_cls) {
    add_method(wrapper_cls, "run_boundary_study", &run_boundary_study, py::kw_only(), py::arg("budget") = 25,
               py::arg("threshold") = 2.0, py::arg("max_workers") = py::none(), py::arg("executor") = py::none(),
               py::arg("resume") = py::none(), py::arg("batch_size") = py::none(), py::arg("tolerance") = 0.0005,
               py::arg("seed") = 0, py::arg("progress") = false, py::arg("run_timeout") = py::none(),
               "Locates the boundary where the mean wall number crosses `threshold` over the map's plane with at most "
               "`budget` runs, and returns their records.\n\n"
               "A space-filling start design is followed by rounds of `batch_size` runs (default: max_workers, 2 "
               "with an executor, else 1) placed where a Gaussian-process surrogate of log(wall number) is least "
               "sure of the boundary. It stops at the budget, or once the boundary's 95 % band is narrower than "
               "`tolerance` (a fraction of the span) or the plane holds no boundary. Runs, records, checkpoint "
               "(boundary_study_<map>.checkpoint.jsonl) and results file (boundary_study_<map>_<time>.csv) are "
               "those of run_parametric_study; the curve goes to <results stem>_boundary.csv (boundary_table() "
               "returns it). resume replays the search against a checkpoint or results file of the same study "
               "(same settings and seed): recorded runs are reused, the rest run. progress=True draws a tqdm bar on "
               "standard error. run_timeout (s) stops a run past that time and records it as failed ('exceeded the "
               "time limit of N s'), as run_parametric_study does.");
    add_method(wrapper_cls, "boundary_table", &boundary_frame,
               "The boundary curve of the last run_boundary_study as a DataFrame (the rows of its boundary CSV).");
    m.def("boundary_search", &boundary_search, py::arg("function"), py::arg("dimension"), py::kw_only(),
          py::arg("budget") = 25, py::arg("batch_size") = 1, py::arg("threshold") = 2.0, py::arg("tolerance") = 0.0,
          py::arg("seed") = 0, py::arg("start_runs") = py::none(), py::arg("resolution") = py::none(),
          "The boundary search of run_boundary_study over any function of `dimension` parameters scaled to "
          "[0, 1]: function(points) gets an (n, dimension) array and returns n wall numbers (NaN or None for a "
          "failed point). Returns a dict: points, wall_numbers, rounds, stop, the surrogate's mean and sd of "
          "log(wall number) on the lattice (axis), its length scales, the band and, for two parameters, the "
          "curve (u along axis 0, v along axis 1).");
}

}  // namespace velmora::bind::sweep
