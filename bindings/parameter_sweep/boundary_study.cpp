// The boundary study: Mapping_Wrapper.run_boundary_study and the general
// boundary_search over a function of scaled parameters.
//
// The search (start design, rounds, selection, stopping, the curve) and the
// study around it (settings, header, the plan replayed against recorded runs,
// the checkpoint, the report) are the core's (study/boundary_*). This file
// converts, and supplies the outside parts: the surrogate, a call of
// velmora.core._boundary_gp.fit_predict per round (scikit-learn), and each
// round's runs, handed to run_study_points (study_points.cpp) as the
// parametric study's runs are.
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
#include "study/boundary_outcome.hpp"
#include "study/boundary_search.hpp"
#include "study/boundary_study_driver.hpp"
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

// Rows of `dimension` numbers, given one after another, as an (n, dimension) array.
py::array_t<double> table_of(const std::vector<double>& flat, std::size_t dimension) {
    py::array_t<double> out({static_cast<py::ssize_t>(flat.size() / dimension), static_cast<py::ssize_t>(dimension)});
    std::copy(flat.begin(), flat.end(), out.mutable_data());
    return out;
}

py::array_t<double> table_of(const std::vector<bd::Point>& points, std::size_t dimension) {
    std::vector<double> flat;
    for (const bd::Point& p : points) flat.insert(flat.end(), p.begin(), p.begin() + static_cast<long>(dimension));
    return table_of(flat, dimension);
}

// The Gaussian process of _boundary_gp: one fit and one prediction per round.
class GaussianProcessSurrogate : public bd::Surrogate {
public:
    explicit GaussianProcessSurrogate(std::uint64_t seed) : seed_(seed) {}
    bd::SurrogateField fit(const std::vector<bd::Point>& points, const std::vector<double>& values,
                           const bd::Lattice& lattice) override {
        if (nodes_.is_none() || nodes_size_ != lattice.size()) {
            nodes_ = table_of(lattice.table(), lattice.dimension());
            nodes_size_ = lattice.size();
        }
        py::dict fitted = boundary_gp().attr("fit_predict")(table_of(points, lattice.dimension()), to_numpy(values),
                                                           nodes_, py::int_(seed_));
        bd::SurrogateField field;
        field.mean = real_vector(fitted["mean"], "surrogate mean");
        field.sd = real_vector(fitted["sd"], "surrogate sd");
        field.length_scales = real_vector(fitted["length_scales"], "length scales");
        field.noise_sd = real_number(fitted["noise_sd"], "noise sd");
        if (fitted.contains("unresolved")) field.unresolved = fitted["unresolved"].cast<bool>();
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
        for (py::handle item : returned)
            values.push_back(bd::function_value(optional_real_number(item, "wall number")));
        check_length(values.size(), runs.size(), "the values the function returned");
        return values;
    }

private:
    py::object function_;
    std::size_t dimension_;
};

bd::SearchSettings search_options(long long dimension, py::object budget, py::object batch_size, py::object threshold,
                                  py::object tolerance, py::object seed, py::object start_runs = py::none(),
                                  py::object resolution = py::none()) {
    bd::SearchOptions o;
    o.dimension = dimension;
    o.budget = integer_number(budget, "budget");
    o.batch_size = integer_number(batch_size, "batch_size");
    o.threshold = real_number(threshold, "threshold");
    o.tolerance = real_number(tolerance, "tolerance");
    o.seed = integer_number(seed, "seed");
    if (!start_runs.is_none()) o.start_runs = count_number(start_runs, "start_runs");
    if (!resolution.is_none()) o.resolution = count_number(resolution, "resolution");
    return bd::search_settings(o);
}

// The search's outcome as a dict; its tables of numbers become float arrays.
py::dict outcome_dict(const bd::SearchOutcome& outcome, const bd::SearchSettings& settings, const std::string& kernel,
                      const std::vector<bd::CurvePoint>& curve) {
    py::dict result = host_value(bd::search_document(outcome, settings, kernel, curve));
    for (const char* key : bd::kSearchArrayKeys)
        if (result.contains(key)) result[key] = py::array_t<double, py::array::forcecast>::ensure(result[key]);
    return result;
}

py::dict boundary_search(py::object function, py::object dimension, py::object budget, py::object batch_size,
                         py::object threshold, py::object tolerance, py::object seed, py::object start_runs,
                         py::object resolution) {
    const bd::SearchSettings settings = search_options(integer_number(dimension, "dimension"), budget, batch_size,
                                                       threshold, tolerance, seed, start_runs, resolution);
    FunctionEvaluator evaluator(function, settings.dimension);
    GaussianProcessSurrogate surrogate(settings.seed);
    const bd::SearchOutcome outcome = bd::run_boundary_search(settings, evaluator, surrogate);
    return outcome_dict(outcome, settings, surrogate.kernel(), bd::fitted_level_curve(outcome, settings));
}

// --- the study -------------------------------------------------------------

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
    max_workers = check_run_options(max_workers, executor, run_timeout);
    if (batch_size.is_none()) batch_size = !max_workers.is_none() ? max_workers : py::int_(executor.is_none() ? 1 : 2);
    const bd::SearchSettings settings = search_options(2, budget, batch_size, threshold, tolerance, seed);

    velmora::print_line("Starting Boundary Study...");
    velmora::print_line(std::string(60, '='));
    // The configuration's own lines describe a uniform grid; a boundary study prints its own.
    py::object config = study_execution().attr("quietly")(self.attr("ParametricStudyConfig"), self);
    const StudyCall call = study_call(self, config);
    bd::StudyRunsEvaluator::Plan plan{{}, {}, text_of(call.map_type), settings.budget};
    for (const std::string& key : {call.y_key, call.x_key}) {
        const char* low = study::setting_of(key, study::SettingRole::RangeMin).name;
        const char* high = study::setting_of(key, study::SettingRole::RangeMax).name;
        plan.axes.push_back({key, real_number(self.attr(low), low), real_number(self.attr(high), high)});
        plan.units.emplace_back(study::find_study_parameter(key)->unit);
    }
    bd::check_axes(plan.axes);
    print_lines(bd::header_lines(plan.axes, call.constant_names, settings, text_of(py::repr(threshold))));

    const study::JsonValue study_settings =
        bd::with_search_settings(study_settings_of(self, config, "boundary"), settings);
    bd::RecordedStudyRuns recorded;
    if (!resume.is_none()) {
        const study::RecordedRuns runs = recorded_runs(resume, study_settings);
        recorded = bd::index_recorded_runs(runs.records, runs.places, call.columns);
        velmora::print_line(study::resume_line(recorded.by_id.size(), settings.budget, text_of(resume)));
    }
    study::StudyCheckpoint checkpoint(bd::checkpoint_file_name(plan.map_requested));
    checkpoint.start(recorded.all(), study_settings);
    velmora::print_line(checkpoint.start_line());

    OwnPool own;
    if (!max_workers.is_none()) own.pool = executor = study_execution().attr("process_pool")(max_workers);
    GaussianProcessSurrogate surrogate(settings.seed);
    boundary_gp().attr("start_import")();
    const ProgressBar bar(progress, settings.budget, 0);
    const auto show = [&](const std::string& line) { bar.show(line); };

    std::map<long long, py::object> records;  // the host records, by simulation_id
    bd::StudyHooks hooks;
    hooks.show = show;
    hooks.advance = [&] { bar.advance(); };
    hooks.reuse = [&](const bd::StudyRun& run, const study::FlatRecord& record) { records[run.id] = record_of(record); };
    hooks.run = [&](const std::vector<bd::StudyRun>& runs, const bd::FinishedRun& finished) {
        std::vector<PointToRun> points;
        for (std::size_t j = 0; j < runs.size(); ++j)
            points.push_back({j, runs[j].id, py::float_(runs[j].y), py::float_(runs[j].x), runs[j].line});
        run_study_points(call, points, executor, false, run_timeout, show, [&](std::size_t j, py::dict record) {
            records[runs[j].id] = record;
            finished(j, flat_record_of(record));
        });
    };
    const std::vector<bd::StudyAxis> axes = plan.axes;
    bd::StudyRunsEvaluator evaluator(std::move(plan), std::move(recorded), checkpoint, hooks);
    const bd::SearchOutcome outcome = bd::run_boundary_search(settings, evaluator, surrogate, show);
    bar.close();
    checkpoint.close();

    py::list results;
    for (const auto& [id, record] : records) results.append(record);
    const std::vector<bd::CurvePoint> level_curve = bd::fitted_level_curve(outcome, settings);
    std::vector<bd::CurveRow> rows;
    if (outcome.fitted) rows = bd::curve_rows(level_curve, axes, settings.level);
    bd::BoundaryReport report = bd::study_report(outcome, settings, evaluator.records(), rows, {call.y_key, call.x_key});
    const std::string results_name = bd::results_file_name(text_of(call.map_type), study::local_time_now());
    report.results_file = results_name;
    report.results_saved = save_study_results(self, results, results_name, study_settings);
    const std::vector<std::string> curve_columns = bd::curve_columns(call.y_key, call.x_key);
    const py::list curve = host_value(bd::curve_table(rows, curve_columns));
    report.curve_file = bd::curve_file_name(results_name);
    try {
        boundary_io().attr("write_table_csv")(curve, py::cast(curve_columns), report.curve_file);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_Exception)) throw;
        velmora::print_line("Error saving boundary: " + text_of(e.value()));
        report.curve_saved = false;
    }

    py::setattr(self, "last_boundary_filename", py::str(report.curve_file));
    py::dict state = outcome_dict(outcome, settings, surrogate.kernel(), level_curve);
    state["threshold"] = threshold;
    state["columns"] = py::make_tuple(py::str(call.y_key + "_parameter"), py::str(call.x_key + "_parameter"));
    state["ranges"] = py::make_tuple(py::make_tuple(axes[0].lower, axes[0].upper),
                                     py::make_tuple(axes[1].lower, axes[1].upper));
    state["boundary"] = curve;
    state["boundary_columns"] = py::cast(curve_columns);
    state["reused"] = py::int_(evaluator.reused());
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
