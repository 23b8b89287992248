// What each run of a study amounts to (succeeded, single-walled, failed), its
// classifier label and the one-line tally, for the command line, the maps and
// the boundary study. The rules are the core's (study/run_outcome.hpp).
#include <cmath>
#include <string>

#include "parameter_sweep/study_binding.hpp"
#include "study/run_outcome.hpp"

namespace velmora::bind::sweep {

namespace {

// The status and message of a record (a dict, or any mapping with those keys);
// a missing or empty message (NaN, as pandas reads an empty field) is "".
std::pair<long long, std::string> status_and_message(py::handle record) {
    py::object status = record["status"];
    py::object message = record.attr("get")("error_message", py::str(""));
    long long code = 0;
    if (!status.is_none()) {
        const double value = real_number(status, "status");
        code = std::isfinite(value) ? static_cast<long long>(value) : 0;
    }
    std::string text;
    if (py::isinstance<py::str>(message)) text = message.cast<std::string>();
    return {code, text};
}

}  // namespace

void register_run_outcomes(py::module_& m) {
    m.def(
        "run_outcome",
        [](py::handle record) {
            const auto [status, message] = status_and_message(record);
            return std::string(study::outcome_name(study::run_outcome(status, message)));
        },
        py::arg("record"),
        "What a run record amounts to: 'succeeded' (status 1), 'single-walled' (\"No valid sections found\": every "
        "section ended at wall number 1, a result below any wall threshold above 1) or 'failed'.");
    m.def(
        "outcome_label",
        [](py::handle record, double threshold) {
            const auto [status, message] = status_and_message(record);
            py::object wall = record.attr("get")("wall_number_avg", py::none());
            const double walls = wall.is_none() ? std::nan("") : real_number(wall, "wall_number_avg");
            return study::outcome_label(study::run_outcome(status, message), walls, threshold);
        },
        py::arg("record"), py::arg("wall_threshold") = 2.0,
        "Classifier label of a run record: 1 below the wall threshold (single-walled runs included), 0 at or above "
        "it, -1 for a failed run (left out of the training).");
    m.def(
        "outcome_tally",
        [](py::iterable records) {
            study::OutcomeTally tally;
            for (py::handle record : records) {
                const auto [status, message] = status_and_message(record);
                study::add_to_tally(tally, status, message);
            }
            return study::tally_line(tally);
        },
        py::arg("records"),
        "One line counting the runs that succeeded, ended single-walled and failed (with each failure message).");
}

}  // namespace velmora::bind::sweep
