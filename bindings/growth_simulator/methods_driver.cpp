// solve(): the whole run in C++; Python sees the returned arrays and the
// attributes and histories left on the model.
#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

namespace {

// The run kept whatever state its failed steps reached; say so once per run.
void warn_integration_failures(const PyModel& self) {
    const auto& failures = self.integration_failures;
    if (failures.empty()) return;
    const auto& first = failures.front();
    const std::string text = std::to_string(failures.size()) + " of " + std::to_string(self.counter) +
                             " outer steps did not integrate to their end; the first is step " +
                             std::to_string(first.step) + " at " + py::repr(py::float_(first.position)).cast<std::string>() +
                             " m: " + first.message +
                             " The run continued from the states the integrator returned (see integration_failures).";
    if (PyErr_WarnEx(PyExc_RuntimeWarning, text.c_str(), 1) != 0) throw py::error_already_set();
}

}  // namespace

void register_driver_methods(ModelClass& cls) {
    cls.def(
        "solve",
        [](PyModel& self, double rtol, double atol) {
            // Let Ctrl-C end a long run between outer steps; the hook lives only
            // as long as this call, whichever way it ends.
            struct InterruptHook {
                PyModel& model;
                explicit InterruptHook(PyModel& m) : model(m) {
                    model.outer_step_hook = [] {
                        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
                    };
                }
                ~InterruptHook() { model.outer_step_hook = nullptr; }
            } hook(self);
            const auto result = self.solve(rtol, atol);
            warn_integration_failures(self);
            const std::size_t steps = result.time_points.size();
            py::array_t<double> time_points = to_numpy(result.time_points);
            if (steps == 0) return py::make_tuple(time_points, py::array_t<double>(0));
            return py::make_tuple(time_points, matrix_copy(result.solutions, steps, result.width));
        },
        py::arg("rtol") = 1e-6, py::arg("atol") = 1e-25,
        "Run the reactor from inlet to outlet. Returns (time_points, solutions): the end position of\n"
        "every completed outer step (m) and the bounded state vector at each, shape (steps, 4n+1).\n"
        "Steps whose integration failed are listed in integration_failures, with one RuntimeWarning.");
    cls.def_property_readonly(
        "integration_failures",
        [](const PyModel& self) {
            py::list failures;
            for (const auto& f : self.integration_failures)
                failures.append(py::make_tuple(f.step, f.position, f.message));
            return failures;
        },
        "Outer steps of the latest solve() whose integration did not reach the step's end:\n"
        "a list of (step number, step start position in m, solver message); empty for a sound run.");
}

}  // namespace velmora::bind
