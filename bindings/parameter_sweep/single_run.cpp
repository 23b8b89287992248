// One simulation outside a study (the `velmora run` command): the model built
// from a keyword bundle, solved, its histories written as NPZ (every history
// as an array) and CSV (the scalar histories), and a JSON summary with
// the same four number-weighted quantities a study records.
#include <chrono>
#include <string>

#include "common/output.hpp"
#include "parameter_sweep/study_binding.hpp"
#include "parameter_sweep/study_points.hpp"

namespace velmora::bind::sweep {

namespace {

constexpr const char* kSummaryKeys[] = {"status", "error_message", "N_total", "dm_avg", "L_cnt_avg",
                                        "wall_number_avg"};

// The histories of a model as named arrays: a list of equal-shape arrays or
// numbers becomes one stacked array, a list of dicts one array per key
// ("<history>.<key>"); empty and ragged histories are listed as skipped.
void collect_histories(py::handle model, py::dict arrays, py::list skipped) {
    py::object np = py::module_::import("numpy");
    for (py::handle name_obj : py::module_::import("builtins").attr("dir")(model)) {
        const std::string name = text_of(name_obj);
        if (name.size() < 6 || name.compare(name.size() - 6, 6, "_saved") != 0) continue;
        py::object history = model.attr(name_obj);
        if (!py::isinstance<py::list>(history) || py::len(history) == 0) continue;
        try {
            py::list entries = history;
            if (py::isinstance<py::dict>(entries[0])) {
                py::dict fields;  // all keys of a history or none of them
                for (auto field : py::dict(entries[0])) {
                    py::handle key = field.first;
                    py::list values;
                    for (py::handle entry : entries) values.append(entry[key]);
                    fields[py::str(name + "." + text_of(key))] = np.attr("asarray")(values, py::arg("dtype") = "float64");
                }
                for (auto field : fields) arrays[field.first] = field.second;
            } else {
                arrays[py::str(name)] = np.attr("asarray")(entries, py::arg("dtype") = "float64");
            }
        } catch (py::error_already_set& e) {
            if (!e.matches(PyExc_Exception)) throw;
            skipped.append(py::str(name));
        }
    }
}

py::dict run_simulation(py::dict velmora_kwargs, py::object output_dir, std::string name) {
    py::object os_path = py::module_::import("os.path");
    py::module_::import("os").attr("makedirs")(output_dir, py::arg("exist_ok") = true);
    const auto path_of = [&](const std::string& suffix) {
        return text_of(os_path.attr("join")(output_dir, py::str(name + suffix)));
    };

    py::dict summary;
    summary["status"] = 0;
    summary["error_message"] = "";
    for (int k = 2; k < 6; ++k) summary[kSummaryKeys[k]] = py::none();

    py::object model = py::none(), solution = py::none();
    const auto start = std::chrono::steady_clock::now();
    run_into_record(summary, [&]() {
        py::object kwargs = py::module_::import("copy").attr("copy")(velmora_kwargs);
        model = module_global("MovingSectionalModel")(**kwargs);
        solution = model.attr("solve")();
        return model;
    });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    py::dict arrays;
    py::list skipped;
    if (!solution.is_none()) {
        py::sequence pair = solution;
        arrays["z"] = py::module_::import("numpy").attr("asarray")(pair[0], py::arg("dtype") = "float64");
        arrays["states"] = py::module_::import("numpy").attr("asarray")(pair[1], py::arg("dtype") = "float64");
    }
    if (!model.is_none()) collect_histories(model, arrays, skipped);

    const std::string npz = path_of("_histories.npz"), csv = path_of("_histories.csv"), json = path_of("_summary.json");
    py::module_::import("numpy").attr("savez_compressed")(npz, **arrays);

    // Table of the scalar histories, one row per history entry (shorter
    // histories end in empty fields); positions and states stay in the NPZ.
    py::object pd = module_global("pd");
    py::dict columns;
    for (auto item : arrays) {
        if (text_of(item.first) != "z" && py::int_(item.second.attr("ndim")).cast<int>() == 1)
            columns[item.first] = pd.attr("Series")(item.second);
    }
    py::object table = pd.attr("DataFrame")(columns);
    table.attr("index").attr("name") = "entry";
    table.attr("to_csv")(csv);

    py::dict document;
    for (auto item : summary) document[item.first] = item.second;
    const std::size_t steps = arrays.contains("z") ? py::len(arrays["z"]) : 0;
    document["steps"] = steps;
    document["final_position"] = steps ? py::object(arrays["z"][py::int_(-1)].attr("item")()) : py::object(py::none());
    document["runtime_s"] = seconds;
    document["skipped_histories"] = skipped;
    document["Velmora_kwargs"] = velmora_kwargs;
    py::object file = py::module_::import("builtins").attr("open")(json, "w");
    try {
        py::module_::import("json").attr("dump")(document, file, py::arg("indent") = 2,
                                                 py::arg("default") = py::module_::import("builtins").attr("str"));
        file.attr("write")("\n");
    } catch (...) {
        file.attr("close")();
        throw;
    }
    file.attr("close")();

    velmora::print_line(std::string(py::int_(summary["status"]).cast<int>() == 1 ? "Simulation finished" : "Simulation failed") +
                        " in " + fmt_fixed(seconds, 2) + " s, " + std::to_string(steps) + " steps" +
                        (steps ? " to z = " + text_of(document["final_position"]) + " m" : std::string()));
    for (int k = 1; k < 6; ++k) velmora::print_line(std::string("  ") + kSummaryKeys[k] + ": " + text_of(summary[kSummaryKeys[k]]));
    velmora::print_line("  Histories: " + npz + ", " + csv);
    velmora::print_line("  Summary: " + json);
    document["histories_npz"] = npz;
    document["histories_csv"] = csv;
    document["summary_json"] = json;
    return document;
}

}  // namespace

void register_single_run(py::module_& m) {
    m.def("run_simulation", &run_simulation, py::arg("Velmora_kwargs"), py::arg("output_dir") = ".",
          py::arg("name") = "simulation",
          "Runs one MovingSectionalModel(**Velmora_kwargs) and writes <name>_histories.npz (positions, states and "
          "every history as arrays), <name>_histories.csv (the scalar histories, one row per entry) and <name>_summary.json "
          "(status, error_message, N_total, dm_avg, L_cnt_avg, wall_number_avg, steps, run time) into output_dir. "
          "A failing run is reported, not raised. Returns the summary as a dict.");
}

}  // namespace velmora::bind::sweep
