// Carbon helpers, the smooth time step and the CNT aerosol ratio.
#include <cmath>

#include "common/conversions.hpp"
#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

void register_carbon_accounting_methods(ModelClass& cls) {
    using Model = model::MovingSectionalModel;
    cls.def(
        "get_carbon_per_particle",
        [](const PyModel& self, const py::object& section_index) {
            const auto index = integer_number(section_index, argument_name("get_carbon_per_particle", "section_index"));
            return self.get_carbon_per_particle(static_cast<long>(index));
        },
        py::arg("section_index"), "Carbon atoms per agglomerate of a section (0 for an empty section).");
    cls.def("get_total_carbon", &Model::get_total_carbon, "Carbon atoms carried by the live sections.");
    cls.def("check_carbon_conservation", &Model::check_carbon_conservation,
            "Ratio of the current to the initial carbon (inf or nan when there was none at the start).");
    cls.def(
        "calculate_smooth_timestep", [](const PyModel&, double t) { return Model::calculate_smooth_timestep(t); },
        py::arg("t"), "Step size growing geometrically from 1e-8 at t = 0 to 1e-5 at t >= 1e-4.");
    cls.def(
        "aerosol_ratio",
        [](const PyModel& self, const py::object& method_cnt, const py::object& prob) -> py::object {
            const double method = real_number(method_cnt, "method_cnt");
            if (method == 2) return prob;  // the probability itself, as given
            // Method 1 draws from the host's generator, so that random.seed reproduces it.
            const double draw =
                method == 1 ? py::module_::import("random").attr("uniform")(0.0, 1.0).cast<double>() : 0.0;
            return py::int_(static_cast<long>(self.aerosol_ratio(method, real_number(prob, "prob"), draw)));
        },
        py::arg("method_cnt"), py::arg("prob"),
        "Method 1: 1 if a uniform draw in [0, 1] is >= prob, else 0. Method 2: prob.");
}

}  // namespace velmora::bind
