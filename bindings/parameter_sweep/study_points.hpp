// One grid point of a study, shared by the in-process runner and the worker
// task that executors run: the record with its initial values, the run with
// its failure capture, and the record as checkpoint cells.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "parameter_sweep/study_binding.hpp"
#include "study/checkpoint.hpp"

namespace velmora::bind::sweep {

// The record of a point before its run: number, map, the two values, status 0,
// empty message, four None summaries, then the constant values.
py::dict new_run_record(const std::vector<std::string>& columns, py::object simulation_id, py::object map_type,
                        py::object y_value, py::object x_value, py::object constant_keys, py::object constant_values);

// Builds the model with `build_model`, solves it and writes the summaries into
// the record. An ordinary exception is recorded (and "    Failed: " printed);
// an interrupt ends the study. Returns what solve() returned (None when it raised).
py::object run_into_record(py::dict record, const std::function<py::object()>& build_model);

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

// A study's run_timeout option: None, or a finite number of seconds above 0
// that the executor can keep (ValueError otherwise). Returns max_workers, or
// 1 when a limit is given without workers or executor: a run in this process
// cannot be stopped, so the points then run in one worker process.
py::object check_time_limit(py::object run_timeout, py::object max_workers, py::object executor);

// The record of a run stopped at run_timeout seconds: failed, no summaries,
// "exceeded the time limit of N s"; "    Failed: ..." is the caller's to print.
py::dict time_limited_record(const std::vector<std::string>& columns, py::object simulation_id, py::object map_type,
                             py::object y_value, py::object x_value, py::object constant_keys,
                             py::object constant_values, py::object run_timeout);

void register_study_points(py::module_& m);

}  // namespace velmora::bind::sweep
