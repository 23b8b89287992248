// Right-hand side: aggregation classes, collision kernel, fcn and the
// derivatives, plus a native timing loop over fcn for the benchmarks.
#include <chrono>

#include "common/conversions.hpp"
#include "common/interrupt.hpp"
#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

void register_right_hand_side_methods(ModelClass& cls) {
    using Model = model::MovingSectionalModel;
    cls.def("_initialize_aggregation_classes", &Model::initialize_aggregation_classes,
            "Fills jmin/jmax in place from the node volumes x (sum-based tests).");
    cls.def("_recalculate_aggregation_classes", &Model::recalculate_aggregation_classes,
            "Rebuilds jmin/jmax from the current node volumes x.");
    cls.def("_calculate_beta_matrix", &Model::calculate_beta_matrix,
            "Refreshes the section morphology and the collision matrix betafu from the state y.");
    cls.def(
        "fcn",
        [](PyModel& self, const py::object& t, const py::object& yy) {
            const double position = real_number(t, argument_name("fcn", "t"));
            self.fcn(position, const_span(float_vector(yy, argument_name("fcn", "yy"))));
            return to_numpy(self.yp);
        },
        py::arg("t"), py::arg("yy"), "Differential equations to be solved");
    cls.def(
        "calculate_derivatives",
        [](PyModel& self, double t) {
            self.calculate_derivatives(t);
            return to_numpy(self.yp);
        },
        py::arg("t"), "Derivatives of the state y from the current collision matrix and aggregation classes.");
    cls.def(
        "_benchmark_fcn",
        [](PyModel& self, double t, const py::object& yy, long repeats) {
            // A mean over thousands of calls is already steady (the fcn benchmark
            // takes 2000); ten million calls of a 40-section model take hours.
            constexpr long kMostRepeats = 10000000;
            if (repeats < 1 || repeats > kMostRepeats)
                throw py::value_error("repeats must be between 1 and " + std::to_string(kMostRepeats) + ", got " +
                                      std::to_string(repeats));
            const FloatArray state_array = float_vector(yy, argument_name("_benchmark_fcn", "yy"));
            const auto state = const_span(state_array);
            const auto start = std::chrono::steady_clock::now();
            for (long r = 0; r < repeats; ++r) {
                self.fcn(t, state);
                // A huge repeat count must stay interruptible (Ctrl-C).
                if (r % 64 == 63) poll_interrupt();
            }
            const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
            return elapsed.count() / static_cast<double>(repeats);
        },
        py::arg("t"), py::arg("yy"), py::arg("repeats"),
        "Seconds per native fcn evaluation, averaged over `repeats` calls made from C++.");
}

}  // namespace velmora::bind
