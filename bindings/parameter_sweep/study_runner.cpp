// The study runner: one reactor model per grid point, its summary record, the
// checkpoint of finished records, and the results file.
//
// Without new keywords every point runs here, one after another, and models
// are created by calling create_model_with_parameters (which calls the host
// class object MovingSectionalModel, looked up in this module at call time):
// the model's binding owns the Cantera gas object and the gas-step adapter.
// With max_workers or an executor the points are handed to worker processes
// as the module-level task _run_study_point; their records come back in
// completion order and are put back in grid order before the file is written.
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "common/plain_class.hpp"
#include "parameter_sweep/study_binding.hpp"
#include "parameter_sweep/study_points.hpp"
#include "parameter_sweep/study_settings.hpp"
#include "study/checkpoint.hpp"
#include "study/grid_study.hpp"
#include "study/study_checkpoint.hpp"
#include "study/resume_plan.hpp"
#include "study/run_record.hpp"
#include "study/study_settings.hpp"

namespace velmora::bind::sweep {

namespace {

py::object create_model_with_parameters(py::object self, py::object config, py::object y_value, py::object x_value) {
    py::object model = module_global("MovingSectionalModel")(**self.attr("Velmora_kwargs"));  // ** hands over a copy
    py::object apply = config.attr("apply_parameter");
    apply(model, config.attr("Y_parameter"), y_value);
    apply(model, config.attr("X_parameter"), x_value);
    py::object constant_values = config.attr("constant_values");
    for (py::handle key : config.attr("constant_parameters")) apply(model, key, constant_values[key]);
    return model;
}

bool save_results(py::object, py::object results, py::object filename) {
    try {
        results_file().attr("write_results_csv")(results, filename);
        return true;
    } catch (...) {
        velmora::print_line("Error saving results: " + ordinary_exception_text(std::current_exception()));
        return false;
    }
}

py::list run_parametric_study(py::object self, py::object max_workers, py::object executor, py::object resume,
                              bool progress, py::object run_timeout) {
    max_workers = check_run_options(max_workers, executor, run_timeout);
    velmora::print_line("Starting Automated Parametric Study...");
    velmora::print_line(std::string(60, '='));
    py::object config = self.attr("ParametricStudyConfig")(self);

    const StudyCall call = study_call(self, config);
    py::object y_range = call.y_range, x_range = call.x_range;
    const std::size_t total_sims = py::len(y_range) * py::len(x_range);
    const std::string &y_key = call.y_key, &x_key = call.x_key;
    const std::string map_text = text_of(call.map_type);
    py::object definitions = config.attr("parameter_definitions");
    const std::string y_unit = text_of(definitions[py::str(y_key)]["unit"]);
    const std::string x_unit = text_of(definitions[py::str(x_key)]["unit"]);
    const study::JsonValue settings = study_settings_of(self, config, "parametric");

    // The grid's host values (numpy numbers) go into the records; the core plans with their numbers.
    std::vector<py::object> y_hosts, x_hosts;
    std::vector<double> y_values, x_values;
    for (py::handle y : y_range) {
        y_hosts.push_back(py::reinterpret_borrow<py::object>(y));
        y_values.push_back(real_number(y, "Y value"));
    }
    for (py::handle x : x_range) {
        x_hosts.push_back(py::reinterpret_borrow<py::object>(x));
        x_values.push_back(real_number(x, "X value"));
    }
    const std::vector<study::StudyRun> runs = study::grid_runs(y_key, y_unit, y_values, x_key, x_unit, x_values);

    // Records known before this call (resume), one slot per grid point.
    std::vector<py::object> slots(runs.size());
    std::vector<study::FlatRecord> recovered;
    if (!resume.is_none()) {
        const study::RecordedRuns recorded = recorded_runs(resume, settings);
        const auto held = study::recorded_runs(runs, call.columns, map_text, recorded.records, recorded.places);
        for (std::size_t k = 0; k < runs.size(); ++k) {
            if (!held[k]) continue;
            slots[k] = record_of(*held[k]);
            recovered.push_back(*held[k]);
        }
        velmora::print_line(study::resume_line(recovered.size(), total_sims, text_of(resume)));
    }

    study::StudyCheckpoint checkpoint(study::checkpoint_file_name(map_text));
    // A plain call prints exactly what a study always printed; the checkpoint's
    // name is announced only with the options that come with it.
    const bool plain_call = max_workers.is_none() && executor.is_none() && resume.is_none();
    if (!checkpoint.start(recovered, settings) || !plain_call) velmora::print_line(checkpoint.start_line());

    const ProgressBar bar(progress, total_sims, recovered.size());
    const auto show = [&](const std::string& line) { bar.show(line); };
    std::vector<PointToRun> to_run;
    for (std::size_t k = 0; k < runs.size(); ++k)
        if (!slots[k])
            to_run.push_back({k, runs[k].id, y_hosts[k / x_hosts.size()], x_hosts[k % x_hosts.size()], runs[k].line});
    const bool own_pool = executor.is_none() && !max_workers.is_none();
    if (own_pool) executor = study_execution().attr("process_pool")(max_workers);
    run_study_points(call, to_run, executor, own_pool, run_timeout, show, [&](std::size_t k, py::dict record) {
        slots[k] = record;
        if (const std::string failed = checkpoint.append(flat_record_of(record)); !failed.empty()) show(failed);
        bar.advance();
    });
    bar.close();
    checkpoint.close();

    py::list results;
    for (const auto& record : slots) results.append(record);
    const std::string final_filename = study::results_file_name(map_text, study::local_time_now());
    const bool saved = save_study_results(self, results, final_filename, settings);

    std::size_t successful_sims = 0;
    for (py::handle record : results)
        if (py::object(record["status"]).equal(py::int_(1))) ++successful_sims;
    print_lines(study::completion_lines(total_sims, successful_sims, final_filename, saved));
    return results;
}

}  // namespace

void register_study_runner(py::object wrapper_cls) {
    add_method(wrapper_cls, "create_model_with_parameters", &create_model_with_parameters, py::arg("config"),
               py::arg("y_value"), py::arg("x_value"),
               "A new MovingSectionalModel built from Velmora_kwargs, with the point's two values and the "
               "constant values applied.");
    add_method(wrapper_cls, "save_results", &save_results, py::arg("results"), py::arg("filename"),
               "Writes the run records as CSV (no index column); False after printing the error when that fails.");
    add_method(wrapper_cls, "run_parametric_study", &run_parametric_study, py::kw_only(),
               py::arg("max_workers") = py::none(), py::arg("executor") = py::none(), py::arg("resume") = py::none(),
               py::arg("progress") = false, py::arg("run_timeout") = py::none(),
               "Runs every grid point, records each run (failures included), writes the time-stamped CSV and "
               "returns the records.\n\n"
               "Every finished record is also appended at once to parametric_study_<map>.checkpoint.jsonl in the "
               "current directory. max_workers=N runs the points in N worker processes; executor takes any "
               "concurrent.futures.Executor-compatible object (a Dask client's get_executor(), "
               "mpi4py.futures.MPIPoolExecutor, a ProcessPoolExecutor) instead. Records, file and summary are those "
               "of a sequential run, in grid order. resume names a checkpoint or results file of the same study: "
               "the points it records are not run again; a record that a finished run cannot have written is refused "
               "(ValueError naming the file and line). progress=True draws a tqdm progress bar on standard error. "
               "results_saved tells whether the results file was written; when it was not, the last line says so "
               "and the records are still returned.\n\n"
               "run_timeout (seconds) stops a run past that time: it is recorded as failed with error_message "
               "'exceeded the time limit of N s' and the study goes on. Worker processes of max_workers (and, with "
               "run_timeout but no workers, one worker process) are ended and replaced; other executors cannot stop "
               "a started run, which is then given up at the limit and left to end on its worker (Dask is refused). "
               "The study's settings are kept as the checkpoint's first line and beside the results file "
               "(<results>.json); a resume from a file whose settings differ is refused (ValueError naming the "
               "first difference).");
}

}  // namespace velmora::bind::sweep
