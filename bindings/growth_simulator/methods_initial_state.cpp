// Initial state: initialize_conditions(), _distribution_initializer() and the
// three helpers of the polydisperse start.
#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

void register_initial_state_methods(ModelClass& cls) {
    cls.def(
        "initialize_conditions", [](PyModel& self) { self.initialize_conditions(); },
        "Builds the section grid, the initial state vector and the aggregation classes.");
    cls.def(
        "_distribution_initializer", [](PyModel& self) { return to_numpy(self.distribution_initializer()); },
        "Polydisperse start: the number concentration of each of the intnum - 2 live sections.");
    cls.def(
        "lognormal_pdf",
        [](const PyModel& /*self*/, py::array_t<double> x, py::array_t<double> mu, py::array_t<double> sigma) {
            return py::vectorize(&model::MovingSectionalModel::lognormal_pdf)(std::move(x), std::move(mu), std::move(sigma));
        },
        py::arg("x").none(false), py::arg("mu").none(false), py::arg("sigma").none(false), "Lognormal density of x (element-wise).");
    cls.def(
        "normal_pdf",
        [](const PyModel& /*self*/, py::array_t<double> x, py::array_t<double> mu, py::array_t<double> sigma) {
            return py::vectorize(&model::MovingSectionalModel::normal_pdf)(std::move(x), std::move(mu), std::move(sigma));
        },
        py::arg("x").none(false), py::arg("mu").none(false), py::arg("sigma").none(false), "Normal density of x (element-wise).");
    cls.def(
        "integrate_bin_probability",
        [](const PyModel& self, double d_left, double d_right, const py::object& distribution_type) {
            return self.integrate_bin_probability(d_left, d_right, py::str(distribution_type));
        },
        py::arg("d_left"), py::arg("d_right"), py::arg("distribution_type"),
        "Probability of a diameter between d_left and d_right under the model's start distribution.");
}

}  // namespace velmora::bind
