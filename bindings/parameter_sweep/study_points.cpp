// The run of one grid point, in the calling process or on a worker.
//
// The worker task _run_study_point is a plain function (of _study_execution,
// so that any executor can ship it to another process by reference) that
// captures what the run prints and calls _run_point here: it builds the model
// as create_model_with_parameters does, through the module-level
// MovingSectionalModel and the study parameters' apply functions.
#include "parameter_sweep/study_points.hpp"

#include <exception>

#include "study/run_record.hpp"
#include "study/study_parameters.hpp"

namespace velmora::bind::sweep {

namespace {

// solve() gives (positions, states); anything else fails the run.
void check_solution(py::handle result) {
    if (!py::isinstance<py::sequence>(result) || py::len(result) != 2)
        throw py::value_error("solve() must return two values (positions, states)");
}

// The model's history `name` when it exists (as hasattr sees it) and holds at
// least `at_least` entries, else a null object. Read once: each read of a
// history attribute converts every entry.
py::object history_with(py::handle model, const char* name, std::size_t at_least) {
    PyObject* raw = PyObject_GetAttrString(model.ptr(), name);
    if (!raw) {
        PyErr_Clear();
        return py::object();
    }
    py::object history = py::reinterpret_steal<py::object>(raw);
    return py::len(history) >= at_least ? history : py::object();
}

std::vector<double> last_entry(const py::object& history, const char* name) {
    return real_vector(history[py::int_(-1)], name);
}

// The last entries of the histories the summaries need, read once.
study::FinalState final_state_of(py::handle model) {
    study::FinalState state;
    const py::object y = history_with(model, "y_saved", 2);
    const py::object walls = history_with(model, "wall_number_section_saved", 1);
    if (!y || !walls) return state;
    state.arrays_present = true;
    state.y = last_entry(y, "y_saved");
    state.wall_numbers = last_entry(walls, "wall_number_section_saved");
    state.isec = index_number(model.attr("isec"));
    if (const py::object xdm = history_with(model, "xdm_saved", 1)) state.mobility_diameters = last_entry(xdm, "xdm_saved");
    if (const py::object carbon = history_with(model, "carbon_data_saved", 1)) {
        state.carbon_data = last_entry(carbon, "carbon_data_saved");
        state.intnum = index_number(model.attr("intnum"));
    }
    return state;
}

study::CellValue cell_of(py::handle value) {
    if (value.is_none()) return std::monostate{};
    if (PyBool_Check(value.ptr())) return value.cast<bool>();
    if (py::isinstance<py::str>(value)) return value.cast<std::string>();
    if (PyFloat_Check(value.ptr())) return value.cast<double>();
    if (PyIndex_Check(value.ptr())) {
        try {
            return index_number(value);
        } catch (py::error_already_set&) {
            return text_of(value);  // beyond 64 bits: kept as its digits
        }
    }
    if (py::isinstance(value, module_global("np").attr("floating"))) return real_number(value, "value");
    return text_of(value);
}

}  // namespace

py::dict run_record(const std::vector<std::string>& columns, py::object simulation_id, py::object map_type,
                    py::object y_value, py::object x_value, py::object constant_keys, py::object constant_values,
                    const study::RunSummary& summary) {
    py::dict record;
    record[columns[0].c_str()] = simulation_id;
    record[columns[1].c_str()] = map_type;
    record[columns[2].c_str()] = y_value;
    record[columns[3].c_str()] = x_value;
    for (const auto& [key, cell] : study::summary_cells(summary)) record[py::str(key)] = cell_object(cell);
    std::size_t column = 10;
    for (py::handle key : constant_keys) record[columns.at(column++).c_str()] = constant_values[key];
    return record;
}

study::RunSummary run_model(const std::function<py::object()>& build_model, py::object* solution) {
    study::RunSummary summary;
    try {
        py::object model = build_model();
        py::object solved = model.attr("solve")();
        if (solution) *solution = solved;
        check_solution(solved);
        study::summarize_final_state(final_state_of(model), summary);
        study::add_note(summary, integration_failures_of(model));
    } catch (...) {
        summary.error_message = ordinary_exception_text(std::current_exception());
        velmora::print_line("    Failed: " + summary.error_message);
    }
    return summary;
}

std::string integration_failures_of(py::handle model) {
    py::object failures = py::getattr(model, "integration_failures", py::none());
    if (failures.is_none() || py::len(failures) == 0) return {};
    py::sequence first = py::reinterpret_borrow<py::sequence>(failures[py::int_(0)]);
    return study::integration_failure_note(py::len(failures), index_number(first[0]), real_number(first[1], "position"),
                                           text_of(first[2]));
}

study::FlatRecord flat_record_of(py::handle record) {
    study::FlatRecord flat;
    for (auto item : py::reinterpret_borrow<py::dict>(record)) flat.emplace_back(text_of(item.first), cell_of(item.second));
    return flat;
}

py::dict record_of(const study::FlatRecord& flat) {
    py::dict record;
    for (const auto& [key, value] : flat) record[py::str(key)] = cell_object(value);
    return record;
}

py::dict run_point(py::dict point, py::dict velmora_kwargs) {
    std::vector<std::string> columns;
    for (py::handle column : point["columns"]) columns.push_back(text_of(column));
    if (columns.size() < 10) throw py::value_error("a study point needs at least the ten record columns");
    py::object constant_keys = point["constant_parameters"], constant_values = point["constant_values"];
    py::object y_value = point["y_value"], x_value = point["x_value"];
    const std::string y_key = text_of(point["Y_parameter"]), x_key = text_of(point["X_parameter"]);
    const study::RunSummary summary = run_model([&]() {
        py::object model = module_global("MovingSectionalModel")(**velmora_kwargs);  // ** hands over a copy
        apply_study_value(model, y_key, y_value);
        apply_study_value(model, x_key, x_value);
        for (py::handle key : constant_keys) apply_study_value(model, text_of(key), constant_values[key]);
        return model;
    });
    return run_record(columns, point["simulation_id"], point["map_type"], y_value, x_value, constant_keys,
                      constant_values, summary);
}

py::object check_run_options(py::object max_workers, py::object executor, py::object run_timeout) {
    if (!max_workers.is_none() && !executor.is_none())
        throw py::value_error("give either max_workers or executor, not both");
    if (!max_workers.is_none() && index_number(max_workers) < 1) throw py::value_error("max_workers must be at least 1");
    if (run_timeout.is_none()) return max_workers;
    study::check_run_timeout(real_number(run_timeout, "run_timeout"));
    if (!executor.is_none()) study_execution().attr("check_timeout_support")(executor);
    return max_workers.is_none() && executor.is_none() ? py::object(py::int_(1)) : max_workers;
}

ProgressBar::ProgressBar(bool on, std::size_t total, std::size_t initial) {
    const py::tuple methods = study_execution().attr("progress")(on, total, initial);
    show_ = methods[0];
    advance_ = methods[1];
    close_ = methods[2];
}
void ProgressBar::show(const std::string& line) const { show_(line); }
void ProgressBar::advance() const { advance_(); }
void ProgressBar::close() const { close_(); }

StudyCall study_call(py::object self, py::object config) {
    StudyCall call;
    call.self = self;
    call.config = config;
    const py::tuple parts = study_execution().attr("study_parts")(self, config);
    call.map_type = parts[0];
    call.y_key = text_of(parts[1]);
    call.x_key = text_of(parts[2]);
    call.constant_keys = parts[3];
    call.constant_values = parts[4];
    call.y_range = parts[5];
    call.x_range = parts[6];
    for (py::handle key : call.constant_keys) call.constant_names.push_back(text_of(key));
    call.columns = study::record_columns(call.y_key, call.x_key, call.constant_names);
    return call;
}

void run_study_points(const StudyCall& study, const std::vector<PointToRun>& points, py::object executor,
                      bool shutdown, py::object run_timeout, const std::function<void(const std::string&)>& show,
                      const std::function<void(std::size_t, py::dict)>& finished) {
    const auto record_for = [&](const PointToRun& point, const study::RunSummary& summary) {
        return run_record(study.columns, py::int_(point.id), study.map_type, point.y_value, point.x_value,
                          study.constant_keys, study.constant_values, summary);
    };
    if (executor.is_none()) {
        for (const PointToRun& point : points) {
            show(point.line);
            const study::RunSummary summary = run_model([&]() {
                return study.self.attr("create_model_with_parameters")(study.config, point.y_value, point.x_value);
            });
            finished(point.slot, record_for(point, summary));
        }
        return;
    }
    // Each job: (position in points, (point description, copy of the keyword bundle)).
    const py::list columns = py::cast(study.columns);
    py::list jobs;
    for (std::size_t j = 0; j < points.size(); ++j) {
        py::dict description;
        description["simulation_id"] = py::int_(points[j].id);
        description["map_type"] = study.map_type;
        description["columns"] = columns;
        description["Y_parameter"] = study.y_key;
        description["X_parameter"] = study.x_key;
        description["y_value"] = points[j].y_value;
        description["x_value"] = points[j].x_value;
        description["constant_parameters"] = study.constant_keys;
        description["constant_values"] = study.constant_values;
        jobs.append(py::make_tuple(j, py::make_tuple(description, py::dict(study.self.attr("Velmora_kwargs")))));
    }
    py::object outcomes = study_execution().attr("run_on_executor")(executor, module_global("_run_study_point"), jobs,
                                                                    shutdown, run_timeout);
    for (py::handle item : outcomes) {
        const PointToRun& point = points.at(static_cast<std::size_t>(index_number(item[py::int_(0)])));
        show(point.line);
        if (item[py::int_(1)].is_none()) {  // stopped at the time limit: a failed run like any other
            study::RunSummary stopped;
            stopped.error_message = study::time_limit_message(real_number(run_timeout, "run_timeout"));
            show("    Failed: " + stopped.error_message);
            finished(point.slot, record_for(point, stopped));
            continue;
        }
        py::tuple outcome = item[py::int_(1)];
        std::string printed = text_of(outcome[1]);
        if (!printed.empty() && printed.back() == '\n') printed.pop_back();
        if (!printed.empty()) show(printed);
        finished(point.slot, outcome[0]);
    }
}

void register_study_points(py::module_& m) {
    m.def("_run_point", &run_point, py::arg("point"), py::arg("Velmora_kwargs"),
          "The record of one grid point of a study, described by a plain dict (see the runner): builds a "
          "MovingSectionalModel from Velmora_kwargs, applies the point's values and the constants, solves and "
          "summarises; an ordinary exception is recorded in the record, as the sequential study does.");
}

}  // namespace velmora::bind::sweep
