// Host class Surface_Kinetics_Ma_etal_2005 over the core model. The gas result
// passed as AA12_internal_use stays a host object; main_calculate looks into it
// at the points where the calculation needs it.
#include <pybind11/pybind11.h>

#include <string>

#include "common/errors.hpp"
#include "conversions.hpp"
#include "registrations.hpp"
#include "submodels/ma_surface_kinetics.hpp"

namespace velmora::bind {

namespace {

using submodels::MaSurfaceKinetics;
constexpr const char* kClass = MaSurfaceKinetics::kClassName;

struct MaObject {
    MaSurfaceKinetics model;
    py::object AA12;  // the gas-phase kinetics result (properties, mole fractions, ...)
    // Kept for callers only.
    py::object feedstock_gas_name, surface_coverage_gp, encapsulation_cond, volume_carbon_atom,
        O_diameter, N_diameter, mass_C4H4;
};

double main_calculate(MaObject& self) {
    submodels::MaGasLookup gas{
        [&self]() -> std::string {
            const py::list species(self.AA12[py::int_(3)]);
            if (species.empty()) throw OutOfRange("list index out of range");
            return formula_text(species[0]);
        },
        [&self](const std::string& name) {
            return real_number(self.AA12[py::int_(1)][py::str(name)], name);
        },
    };
    return self.model.main_calculate(gas);
}

}  // namespace

void register_ma_surface_kinetics(py::module_& m) {
    py::class_<MaObject> cls(m, kClass, py::dynamic_attr(),
                             "Steady-state carbon delivery to a catalyst particle by C2H2 and "
                             "one dominant product species (closed form).");

    py::dict default_gas_result;  // shared by every call that omits it

    cls.def(py::init([](py::object feedstock_gas_name, std::string main_product_species, double npr,
                        double temp_current, double P_FEEDSTOCK_c2h2, py::object /*P_FEEDSTOCK_c4h4*/,
                        double gp_thickns, py::object AA12_internal_use, double reactor_init_press,
                        py::object surface_coverage_gp, double fra_cnt_gp, double gp_cove_rati,
                        py::object encap_cond, double gp_thickness) {
                auto self = std::make_unique<MaObject>();
                auto& p = self->model.parameters;
                self->feedstock_gas_name = std::move(feedstock_gas_name);
                p.main_product_species = std::move(main_product_species);
                p.npr = npr;
                p.temp_current = temp_current;
                p.P_FEEDSTOCK_c2h2 = P_FEEDSTOCK_c2h2;
                p.gp_thickness = gp_thickns;  // replaced by gp_thickness below
                self->AA12 = std::move(AA12_internal_use);
                p.reactor_init_press = reactor_init_press;
                self->surface_coverage_gp = std::move(surface_coverage_gp);
                p.fra_cnt_gp = fra_cnt_gp;
                p.gp_cove_rati = gp_cove_rati;
                self->encapsulation_cond = std::move(encap_cond);
                p.gp_thickness = gp_thickness;
                self->volume_carbon_atom = py::float_(1.91e-30);
                self->O_diameter = py::float_(1.46e-10);
                self->N_diameter = py::float_(1.48e-10);
                self->mass_C4H4 = py::float_(8.66e-26);
                return self;
            }),
            py::arg("feedstock_gas_name") = "C2H2", py::arg("main_product_species") = "C4H4",
            py::arg("npr") = 1, py::arg("temp_current") = 700,
            py::arg("P_FEEDSTOCK_c2h2") = 20000.645, py::arg("P_FEEDSTOCK_c4h4") = 20000.64,
            py::arg("gp_thickns") = 3.4e-10, py::arg("AA12_internal_use") = default_gas_result,
            py::arg("reactor_init_press") = 101000, py::arg("surface_coverage_gp") = 0.3,
            py::arg("fra_cnt_gp") = 0.7, py::arg("gp_cove_rati") = 0,
            py::arg("encap_cond") = false, py::arg("gp_thickness") = 10);

    cls.def_readwrite("feedstock_gas_name", &MaObject::feedstock_gas_name);
    cls.def_property(
        "main_product_species", [](MaObject& s) { return s.model.parameters.main_product_species; },
        [](MaObject& s, std::string v) { s.model.parameters.main_product_species = std::move(v); });
    cls.def_readwrite("AA12", &MaObject::AA12);
    cls.def_readwrite("surface_coverage_gp", &MaObject::surface_coverage_gp);
    cls.def_readwrite("encapsulation_cond", &MaObject::encapsulation_cond);

    cls.def_readwrite("volume_carbon_atom", &MaObject::volume_carbon_atom);
    cls.def_readwrite("O_diameter", &MaObject::O_diameter);
    cls.def_readwrite("N_diameter", &MaObject::N_diameter);
    cls.def_readwrite("mass_C4H4", &MaObject::mass_C4H4);

    // Numbers held by the core: parameters, constants, and the particle's
    // attributes that exist once a diameter has been assigned.
    using Params = submodels::MaParameters;
    const auto parameters = [](MaObject& s) -> Params& { return s.model.parameters; };
    const auto model = [](MaObject& s) -> MaSurfaceKinetics& { return s.model; };
    def_numbers<Params>(cls, parameters,
                        {{"xnpr", &Params::npr}, {"temp", &Params::temp_current},
                         {"P_FEEDSTOCK_c2h2", &Params::P_FEEDSTOCK_c2h2}, {"gp_thickness", &Params::gp_thickness},
                         {"reactor_initial_pressure", &Params::reactor_init_press},
                         {"fraction_cnt_gp", &Params::fra_cnt_gp}, {"gp_coverage_ratio", &Params::gp_cove_rati}});
    def_numbers<MaSurfaceKinetics>(
        cls, model,
        {{"dp", &MaSurfaceKinetics::dp}, {"NAVA", &MaSurfaceKinetics::NAVA}, {"kb", &MaSurfaceKinetics::kb},
         {"R_gas", &MaSurfaceKinetics::R_gas}, {"H_diameter", &MaSurfaceKinetics::H_diameter},
         {"C_diameter", &MaSurfaceKinetics::C_diameter}, {"mass_C2H2", &MaSurfaceKinetics::mass_C2H2}});
    def_numbers<MaSurfaceKinetics, std::optional<double>>(
        cls, model, {{"NP_area", &MaSurfaceKinetics::NP_area}, {"rho_particle", &MaSurfaceKinetics::rho_particle}});

    // Results of main_calculate; each exists from the call that first stores it.
    for (std::size_t i = 0; i < submodels::kMaResultFields.size(); ++i) {
        const auto field = submodels::kMaResultFields[i];
        if (std::string(field.name) == "mass_C2H2") continue;  // always present, bound above
        cls.def_property(
            field.name,
            [i, field](MaObject& self) {
                if (!self.model.has_result(i)) throw MissingAttribute(missing_attribute_text(kClass, field.name));
                return self.model.results.*(field.member);
            },
            [i](MaObject& self, double value) { self.model.store_result(i, value); });
    }

    cls.def_property(
        "_dp", [](MaObject& s) { return s.model.dp; },
        [](MaObject& s, double dp_current) { s.model.set_dp(dp_current); },
        "Particle diameter, m; assigning it sets NP_area and rho_particle.");
    cls.def("main_calculate", &main_calculate,
            "Carbon atoms per second delivered to the particle; also sets the tube geometry "
            "(d_outer, d_inner, CNT_wall_number).");
}

}  // namespace velmora::bind
