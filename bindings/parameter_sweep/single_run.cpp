// One simulation outside a study (the `velmora run` command): the model built
// from a keyword bundle (optionally held at one fixed temperature), solved, and
// summarised with the four number-weighted quantities a study records and the
// temperature the run actually had. Its files (histories as NPZ and CSV, the
// summary as JSON) are written by the private module _run_files.
#include <algorithm>
#include <chrono>
#include <optional>
#include <string>

#include "common/output.hpp"
#include "parameter_sweep/study_binding.hpp"
#include "parameter_sweep/study_points.hpp"
#include "study/run_outcome.hpp"
#include "study/run_record.hpp"
#include "study/single_run_report.hpp"

namespace velmora::bind::sweep {

namespace {

// The temperature a run had, with temp_vel evaluated at the inlet and the end
// of every step once the run is over.
study::TemperatureUse temperature_use(py::handle model, py::handle positions) {
    study::TemperatureUse use;
    if (model.is_none()) return use;
    const bool fixed = !py::getattr(model, "wrapper_mapping_temp", py::none()).is_none();
    use.profile = fixed ? "fixed" : text_of(model.attr("paper_name_for_temperature_history"));
    std::vector<double> z{0.0};
    if (!positions.is_none()) {
        const auto steps = real_vector(positions, "z");
        z.insert(z.end(), steps.begin(), steps.end());
    }
    try {
        for (const double position : z) {
            model.attr("temp_vel")(position);
            const double t = real_number(model.attr("temp"), "temp");
            use.low = use.low ? std::min(*use.low, t) : t;
            use.high = use.high ? std::max(*use.high, t) : t;
        }
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_Exception)) throw;  // a profile without a temperature leaves it unknown
    }
    return use;
}

py::dict run_simulation(py::dict velmora_kwargs, py::object output_dir, std::string name, py::object temperature) {
    if (!temperature.is_none() && !(real_number(temperature, "temperature") > 0.0))
        throw py::value_error("temperature must be a positive number of kelvin");
    py::sequence paths = run_files().attr("file_paths")(output_dir, name);  // creates output_dir
    const std::string npz = text_of(paths[0]), csv = text_of(paths[1]), json = text_of(paths[2]);

    py::object model = py::none(), solution = py::none();
    const auto start = std::chrono::steady_clock::now();
    // The study's runner solves the model once; its result gives the positions and states.
    const study::RunSummary summary = run_model([&]() {
        model = module_global("MovingSectionalModel")(**velmora_kwargs);  // ** hands over a copy
        if (!temperature.is_none()) apply_study_value(model, "T", temperature);  // as a study holds its temperature
        return model;
    }, &solution);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    // (steps, final position or None, histories that could not be stored)
    py::sequence written = run_files().attr("write_histories")(npz, csv, model, solution);
    const auto steps = written[0].cast<std::size_t>();
    py::object final_position = written[1];
    py::object positions = solution.is_none() ? py::object(py::none()) : py::object(py::sequence(solution)[0]);
    const study::TemperatureUse temperatures = temperature_use(model, positions);

    py::dict document = record_of(study::summary_cells(summary));
    document["temperature_profile"] = temperatures.profile.empty() ? py::object(py::none()) : py::str(temperatures.profile);
    document["temperature_min_K"] = temperatures.low ? py::object(py::float_(*temperatures.low)) : py::object(py::none());
    document["temperature_max_K"] = temperatures.high ? py::object(py::float_(*temperatures.high)) : py::object(py::none());
    document["steps"] = steps;
    document["final_position"] = final_position;
    document["runtime_s"] = seconds;
    document["skipped_histories"] = written[2];
    document["Velmora_kwargs"] = velmora_kwargs;
    if (!temperature.is_none()) document["temperature"] = temperature;
    run_files().attr("write_summary")(json, document);

    const study::RunOutcome outcome = study::run_outcome(summary.status, summary.error_message);
    const study::SingleRunReport report{
        outcome, summary.error_message, seconds, steps, text_of(final_position),
        {summary.N_total, summary.dm_avg, summary.L_cnt_avg, summary.wall_number_avg}, temperatures, npz, csv, json};
    print_lines(study::single_run_lines(report));
    document["histories_npz"] = npz;
    document["histories_csv"] = csv;
    document["summary_json"] = json;
    document["outcome"] = std::string(study::outcome_name(outcome));
    return document;
}

}  // namespace

void register_single_run(py::module_& m) {
    py::list quantities;
    for (const auto& quantity : study::kSummaryQuantities)
        quantities.append(py::make_tuple(quantity.key, quantity.unit, quantity.meaning));
    // (key, unit, meaning) of the four run summaries, for whoever prints or draws them.
    m.attr("SUMMARY_QUANTITIES") = py::tuple(quantities);
    m.def("run_simulation", &run_simulation, py::arg("Velmora_kwargs"), py::arg("output_dir") = ".",
          py::arg("name") = "simulation", py::kw_only(), py::arg("temperature") = py::none(),
          "Runs one MovingSectionalModel(**Velmora_kwargs) and writes <name>_histories.npz (positions, states and "
          "every history as arrays), <name>_histories.csv (the scalar histories, one row per entry) and "
          "<name>_summary.json (status, error_message, N_total, dm_avg, L_cnt_avg, wall_number_avg, the temperature "
          "profile with the lowest and highest temperature the run had, steps, run time) into output_dir. "
          "temperature (K) holds the whole reactor at that temperature, as a study does (wrapper_mapping_temp). "
          "A failing run is reported, not raised; integration failures the model reports are noted in "
          "error_message. Returns the summary as a dict.");
}

}  // namespace velmora::bind::sweep
