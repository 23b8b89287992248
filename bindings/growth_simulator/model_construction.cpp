// MovingSectionalModel(**kwargs): keyword parameters with their defaults (unknown
// keywords ignored), the Cantera gas object, and the core construction.
#include <functional>

#include "common/conversions.hpp"
#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

namespace {

// Scalars whose defined value is an integer in the host language.
std::unordered_map<std::string, NumberKind> default_number_kinds() {
    std::unordered_map<std::string, NumberKind> kinds;
    for (const char* name :
         {"total_pressure", "initial_fractal_dimension", "min_temp", "ambient_temp", "CNT_wall_number", "method_cnt",
          "carbon_atoms_per_particle_initial", "gaspre", "rhop_Fe", "rhop_Ni", "rhop", "sigma_Ni", "rho_cnt",
          "_MovingSectionalModel__E_diff_H2Fe", "_MovingSectionalModel__E_diff_H2Ni", "_Ea_H2_diffusion", "xmjet",
          "xmjeto", "lengthththt", "tend_current", "gp_coverage_ratio", "total_carbon_added", "H2_surface_current",
          "x1_activator", "gyration_diameter", "molfrac_species1", "molfrac_species2", "molfrac_species3"})
        kinds[name] = NumberKind::Int;
    return kinds;
}

struct KeywordReader {
    const py::kwargs& kwargs;
    std::unordered_map<std::string, NumberKind>& kinds;

    bool has(const char* key) const { return kwargs.contains(key); }
    py::object get(const char* key) const { return kwargs[py::str(key)]; }

    void number(const char* key, double& target, const char* attribute = nullptr) {
        if (!has(key)) return;
        py::object value = get(key);
        target = real_number(value, key);
        kinds[attribute ? attribute : key] = is_plain_int(value) ? NumberKind::Int : NumberKind::Float;
    }
    void flag(const char* key, bool& target) {
        if (has(key)) target = py::bool_(get(key));
    }
    void text(const char* key, std::string& target) {
        if (has(key)) target = py::str(get(key));
    }
};

std::unique_ptr<PyModel> construct(const py::kwargs& kwargs) {
    model::ModelParameters p;
    auto kinds = default_number_kinds();
    KeywordReader read{kwargs, kinds};

    read.text("catalsyt_element", p.catalsyt_element);
    read.number("reactor_length", p.reactor_length);
    read.number("__xqtot", p.xqtot, "_MovingSectionalModel__xqtot");
    read.number("xdtube", p.xdtube);
    read.number("total_pressure", p.total_pressure);
    read.text("kinetics_mechanism_type", p.kinetics_mechanism_type);
    read.text("feedstock_gas_name_dominant_current", p.feedstock_gas_name_dominant_current);
    if (read.has("gas_initial_composition")) {
        p.gas_initial_composition = dict_to_ordered(read.get("gas_initial_composition"));
    }
    read.text("surface_kinetics_type", p.surface_kinetics_type);
    read.flag("surface_kinetics_solver_activated", p.surface_kinetics_solver_activated);
    read.flag("carb_struct_enabled", p.carb_struct_enabled);
    read.flag("deactivation_enabled", p.deactivation_enabled);
    read.flag("plot_enabled", p.plot_enabled);
    read.flag("gas_NP_time_considered", p.gas_NP_time_considered);
    read.number("H2_STICKING_PROBABILITY", p.H2_STICKING_PROBABILITY);
    if (read.has("intnum")) p.intnum = integer_number(read.get("intnum"), "intnum");
    read.number("total_initial_concentration", p.total_initial_concentration);
    read.number("dp_initial_premade", p.dp_initial_premade);
    read.text("initial_distribution", p.initial_distribution);
    read.number("geometric_std", p.geometric_std);
    read.text("low_high_range_defined", p.low_high_range_defined);
    read.text("distribution_type", p.distribution_type);
    read.number("low_PP_range", p.low_PP_range);
    read.number("high_PP_range", p.high_PP_range);
    read.text("collision_type", p.collision_type);
    read.flag("collision_diameter_update", p.collision_diameter_update);
    read.text("regrid_condition", p.regrid_condition);
    read.number("bin_spacing", p.bin_spacing);
    read.number("elimination_spacing", p.elimination_spacing);
    read.number("initial_fractal_dimension", p.initial_fractal_dimension);
    read.text("numerical_approach_NP_temp_solver", p.numerical_approach_NP_temp_solver);
    read.text("paper_name_for_temperature_history", p.paper_name_for_temperature_history);
    read.flag("sinterin_energy_release_activated", p.sinterin_energy_release_activated);
    read.number("min_temp", p.min_temp);
    read.number("ambient_temp", p.ambient_temp);
    read.number("CNT_wall_number", p.CNT_wall_number);
    read.number("fraction_cnt_gp", p.fraction_cnt_gp);
    read.number("method_cnt", p.method_cnt);
    read.number("critical_cnt_length", p.critical_cnt_length);
    read.number("initial_possible_d_cnt", p.initial_possible_d_cnt);
    read.number("carbon_atoms_per_particle_initial", p.carbon_atoms_per_particle_initial);
    read.number("surf_dens_monolayer", p.surf_dens_monolayer);
    read.number("alpha_adjust", p.alpha_adjust);
    read.number("__gp_thickness", p.gp_thickness, "_MovingSectionalModel__gp_thickness");
    read.number("gase", p.gase);
    read.number("gaspre", p.gaspre);
    read.number("surfe", p.surfe);
    read.number("surfpre", p.surfpre);

    // The Cantera Solution every gas step of this model works on.
    py::module_ ct = py::module_::import("cantera");
    py::object gas = ct.attr("Solution")(get_mechanism_path(p.kinetics_mechanism_type));
    auto kinetics = std::make_shared<PythonGasKinetics>(gas);

    // The element data decide the kinds of the selected attributes.
    if (p.catalsyt_element == "Ni" || p.catalsyt_element == "Fe") {
        kinds["rhop"] = NumberKind::Int;
        kinds["_Ea_H2_diffusion"] = NumberKind::Int;
    }
    auto model = std::make_unique<PyModel>(std::move(p), kinetics, std::move(kinds));
    return model;
}

}  // namespace

void register_model_construction(ModelClass& cls) {
    cls.def(py::init([](py::args args, py::kwargs kwargs) {
                if (py::len(args) != 0)
                    throw py::type_error("MovingSectionalModel() takes keyword arguments only");
                return construct(kwargs);
            }),
            "Build a reactor model from keyword parameters (unknown keywords are ignored).");
}

}  // namespace velmora::bind
