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

void register_study_points(py::module_& m);

}  // namespace velmora::bind::sweep
