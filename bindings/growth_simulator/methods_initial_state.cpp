// Initial state: initialize_conditions(), _distribution_initializer() and the
// three helpers of the polydisperse start.
#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

void register_initial_state_methods(ModelClass& cls) {
    using Model = model::MovingSectionalModel;
    cls.def("initialize_conditions", &Model::initialize_conditions,
            "Builds the section grid, the initial state vector and the aggregation classes.");
    cls.def(
        "_distribution_initializer", [](PyModel& self) { return to_numpy(self.distribution_initializer()); },
        "Polydisperse start: the number concentration of each of the intnum - 2 live sections.");
    // The two densities, element-wise over numpy arrays; the instance itself is not read.
    const auto density = [&cls](const char* name, double (*pdf)(double, double, double), const char* doc) {
        cls.def(
            name,
            [pdf](const PyModel&, py::array_t<double> x, py::array_t<double> mu, py::array_t<double> sigma) {
                return py::vectorize(pdf)(std::move(x), std::move(mu), std::move(sigma));
            },
            py::arg("x").none(false), py::arg("mu").none(false), py::arg("sigma").none(false), doc);
    };
    density("lognormal_pdf", &Model::lognormal_pdf, "Lognormal density of x (element-wise).");
    density("normal_pdf", &Model::normal_pdf, "Normal density of x (element-wise).");
    cls.def(
        "integrate_bin_probability",
        [](const PyModel& self, double d_left, double d_right, const py::object& distribution_type) {
            return self.integrate_bin_probability(d_left, d_right, py::str(distribution_type));
        },
        py::arg("d_left"), py::arg("d_right"), py::arg("distribution_type"),
        "Probability of a diameter between d_left and d_right under the model's start distribution.");
}

}  // namespace velmora::bind
