// Host class Surface_Kinetics_Ma_etal_2005 over the core model, built from the
// core's tables like its sibling class.
#include <pybind11/pybind11.h>

#include <string>

#include "common/errors.hpp"
#include "conversions.hpp"
#include "submodels/ma_surface_kinetics.hpp"

namespace velmora::bind {

namespace {

using submodels::MaSurfaceKinetics;

// The gas result passed as AA12_internal_use stays a host object;
// main_calculate looks into it at the points where the calculation needs it.
struct MaObject : ModelObject<MaSurfaceKinetics, submodels::kMaClassParameters> {};

double main_calculate(MaObject& self) {
    const py::object& gas_result = self.kept_value("AA12_internal_use");
    self.parameters.main_product_species = formula_text(self.kept_value("main_product_species"));
    submodels::MaGasLookup gas{
        [&]() -> std::string {
            const py::list species(gas_result[py::int_(3)]);
            if (species.empty()) throw OutOfRange("list index out of range");
            return formula_text(species[0]);
        },
        [&](const std::string& name) { return real_number(gas_result[py::int_(1)][py::str(name)], name); },
    };
    return self.main_calculate(gas);
}

}  // namespace

void register_ma_surface_kinetics(py::module_& m) {
    py::class_<MaObject> cls(m, MaSurfaceKinetics::kClassName, py::dynamic_attr(),
                             "Steady-state carbon delivery to a catalyst particle by C2H2 and "
                             "one dominant product species (closed form).");

    def_class_parameters(cls);
    def_numbers(cls, submodels::kMaConstants);
    def_numbers(cls, submodels::kMaLateNumbers);

    // Results of main_calculate; each exists from the call that first stores it.
    for (std::size_t i = 0; i < submodels::kMaResultFields.size(); ++i) {
        const auto field = submodels::kMaResultFields[i];
        if (std::string(field.name) == "mass_C2H2") continue;  // always present, bound above
        cls.def_property(
            field.name,
            [i, field](MaObject& self) {
                if (!self.has_result(i)) throw missing_attribute(MaSurfaceKinetics::kClassName, field.name);
                return self.results.*(field.member);
            },
            [i](MaObject& self, double value) { self.store_result(i, value); });
    }

    cls.def_property(
        "_dp", [](MaObject& s) { return s.dp; },
        &MaSurfaceKinetics::set_dp,
        "Particle diameter, m; assigning it sets NP_area and rho_particle.");
    cls.def("main_calculate", &main_calculate,
            "Carbon atoms per second delivered to the particle; also sets the tube geometry "
            "(d_outer, d_inner, CNT_wall_number).");
}

}  // namespace velmora::bind
