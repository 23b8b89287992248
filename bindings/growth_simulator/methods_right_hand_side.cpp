// Right-hand side: aggregation classes, collision kernel, fcn and the
// derivatives, plus a native timing loop over fcn for the benchmarks.
#include "common/conversions.hpp"
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
            const FloatArray state = float_vector(yy, argument_name("_benchmark_fcn", "yy"));
            return self.seconds_per_fcn(t, const_span(state), repeats);
        },
        py::arg("t"), py::arg("yy"), py::arg("repeats"),
        "Seconds per native fcn evaluation, averaged over `repeats` calls made from C++.");
}

}  // namespace velmora::bind
