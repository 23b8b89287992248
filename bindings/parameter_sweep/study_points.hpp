// One grid point of a study, shared by the in-process runner and the worker
// task that executors run: the record with its initial values, the run with
// its failure capture, and the record as checkpoint cells.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "parameter_sweep/study_binding.hpp"
#include "study/checkpoint.hpp"
#include "study/run_record.hpp"

namespace velmora::bind::sweep {

// The record of a point: number, map, the two values, the run's status,
// message and four summaries, then the constant values.
py::dict run_record(const std::vector<std::string>& columns, py::object simulation_id, py::object map_type,
                    py::object y_value, py::object x_value, py::object constant_keys, py::object constant_values,
                    const study::RunSummary& summary);

// Builds the model with `build_model`, solves it and summarises its final
// state. An ordinary exception is recorded (and "    Failed: " printed); an
// interrupt ends the study. `solution`, when given, receives what solve()
// returned (left as it was when it raised).
study::RunSummary run_model(const std::function<py::object()>& build_model, py::object* solution = nullptr);

// The integration failures a solved model reports (its integration_failures
// list of (step, position, message), when it has one) as one note, or "".
std::string integration_failures_of(py::handle model);

// The record's fields as checkpoint cells (numpy numbers become plain ones;
// a value of any other type is kept as its text), and back.
study::FlatRecord flat_record_of(py::handle record);
py::dict record_of(const study::FlatRecord& flat);

// The record of one point from its description (a plain dict built by the
// runner) and the keyword bundle.
py::dict run_point(py::dict point, py::dict velmora_kwargs);

// A study's max_workers, executor and run_timeout options (ValueError for a
// bad one; run_timeout None, or a finite number of seconds above 0 that the
// executor can keep). Returns max_workers, or 1 when a time limit is given
// without workers or executor: a run in this process cannot be stopped, so the
// points then run in one worker process.
py::object check_run_options(py::object max_workers, py::object executor, py::object run_timeout);

// The study's printed lines and tqdm bar (_study_execution.Progress).
class ProgressBar {
public:
    ProgressBar(bool on, std::size_t total, std::size_t initial);
    void show(const std::string& line) const;
    void advance() const;
    void close() const;

private:
    py::object show_, advance_, close_;
};

// What a runner knows of the study it runs points of.
struct StudyCall {
    py::object self, config, map_type, constant_keys, constant_values, y_range, x_range;
    std::vector<std::string> constant_names, columns;
    std::string y_key, x_key;
};
// Read from the wrapper and its configuration.
StudyCall study_call(py::object self, py::object config);

// A point to run: its slot in the runner's order, number, two values (as the
// host values the record keeps) and "Simulation i/N: ..." line.
struct PointToRun {
    std::size_t slot = 0;
    long long id = 0;
    py::object y_value, x_value;
    std::string line;
};

// Runs the points here one after another (through the wrapper's
// create_model_with_parameters), or on `executor` as the module task
// _run_study_point (`shutdown`: the executor is shut down at the end). Shows
// each point's line (and what its run printed) and calls finished(slot,
// record) as each completes; a run stopped at run_timeout is a failed record.
void run_study_points(const StudyCall& study, const std::vector<PointToRun>& points, py::object executor,
                      bool shutdown, py::object run_timeout, const std::function<void(const std::string&)>& show,
                      const std::function<void(std::size_t, py::dict)>& finished);

void register_study_points(py::module_& m);

}  // namespace velmora::bind::sweep
