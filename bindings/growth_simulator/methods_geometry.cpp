// Particle geometry: masses, CNT gyration diameter, graphene-shell diameters
// and the mean primary diameter.
#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

void register_geometry_methods(ModelClass& cls) {
    using Model = model::MovingSectionalModel;
    // Two functions of the same seven particle numbers; the instance itself is not read.
    const auto of_particle = [&cls](const char* name, auto function, const char* doc) {
        cls.def(
            name,
            [function](const PyModel&, double dpp, double rho_NP, double rho_CNT, double cnt_length,
                       double cnt_thickness, double npp, double wall_number) {
                return function(dpp, rho_NP, rho_CNT, cnt_length, cnt_thickness, npp, wall_number);
            },
            py::arg("dpp"), py::arg("rho_NP"), py::arg("rho_CNT"), py::arg("cnt_length"), py::arg("cnt_thickness"),
            py::arg("npp"), py::arg("wall_number"), doc);
    };
    of_particle("mass_calculator", &Model::mass_calculator, "Returns (M_NP, M_CNT) in kg.");
    of_particle("_calculate_cnt_gyration_diameter", &Model::calculate_cnt_gyration_diameter,
                "Gyration diameter (m) of a particle carrying a CNT, averaged over the two rotation modes.");
    cls.def("calculate_xdp_gp", &Model::calculate_xdp_gp,
            "Fills xdp_gp with the primary diameters grown by complete graphene shells.");
    cls.def(
        "_calculate_average_primary_diameter",
        [](const PyModel& self, const py::object& y_state) {
            return self.calculate_average_primary_diameter(
                const_span(float_vector(y_state, argument_name("_calculate_average_primary_diameter", "y_state"))));
        },
        py::arg("y_state"), "Number-weighted mean primary diameter (m) of a state vector.");
}

}  // namespace velmora::bind
