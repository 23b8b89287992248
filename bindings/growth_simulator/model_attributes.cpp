// Every attribute of the model, readable and writable from Python under its
// host name (private ones under their mangled names). Arrays cross as numpy
// copies; arrays whose size the model relies on refuse a different size.
#include "common/conversions.hpp"
#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

namespace {

using Model = model::MovingSectionalModel;

void number(ModelClass& cls, const char* name, double Model::*member) {
    const std::string key = name;
    cls.def_property(
        name, [key, member](const PyModel& self) { return self.number(key, self.*member); },
        [key, member](PyModel& self, const py::object& value) {
            self.*member = real_number(value, key);
            self.kinds[key] = is_plain_int(value) ? NumberKind::Int : NumberKind::Float;
        });
}

void integer(ModelClass& cls, const char* name, long Model::*member, bool writable = true) {
    if (writable)
        cls.def_property(
            name, [member](const PyModel& self) { return self.*member; },
            [key = std::string(name), member](PyModel& self, const py::object& value) {
                self.*member = static_cast<long>(integer_number(value, key));
            });
    else
        cls.def_property_readonly(name, [member](const PyModel& self) { return self.*member; });
}

void flag(ModelClass& cls, const char* name, bool Model::*member) {
    cls.def_property(
        name, [member](const PyModel& self) { return self.*member; },
        [member](PyModel& self, const py::object& value) { self.*member = py::bool_(value); });
}

void text(ModelClass& cls, const char* name, std::string Model::*member) {
    cls.def_property(
        name, [member](const PyModel& self) { return self.*member; },
        [member](PyModel& self, const py::object& value) { self.*member = py::str(value); });
}

void optional_number(ModelClass& cls, const char* name, std::optional<double> Model::*member) {
    const std::string key = name;
    cls.def_property(
        name,
        [key, member](const PyModel& self) -> py::object {
            if (!(self.*member)) return py::none();
            return self.number(key, *(self.*member));
        },
        [key, member](PyModel& self, const py::object& value) {
            if (value.is_none()) {
                self.*member = std::nullopt;
                return;
            }
            self.*member = real_number(value, key);
            self.kinds[key] = is_plain_int(value) ? NumberKind::Int : NumberKind::Float;
        });
}

// A per-section array. `fixed` arrays keep their length: the model indexes them by section.
void array(ModelClass& cls, const char* name, std::vector<double> Model::*member, bool fixed) {
    const std::string key = name;
    cls.def_property(
        name, [member](const PyModel& self) { return to_numpy(self.*member); },
        [key, member, fixed](PyModel& self, const py::object& value) {
            auto data = flat_real_vector(value, key);
            if (fixed) check_length(data.size(), (self.*member).size(), key);
            self.*member = std::move(data);
        });
}

void matrix(ModelClass& cls, const char* name, std::vector<double> Model::*member, long extra_columns) {
    const std::string key = name;
    cls.def_property(
        name,
        [member, extra_columns](const PyModel& self) {
            return matrix_copy(self.*member, self.n(), self.n() + static_cast<std::size_t>(extra_columns));
        },
        [key, member, extra_columns](PyModel& self, const py::object& value) {
            auto data = flat_real_vector(value, key);
            check_length(data.size(), self.n() * (self.n() + static_cast<std::size_t>(extra_columns)), key);
            self.*member = std::move(data);
        });
}

void int_table(ModelClass& cls, const char* name, std::vector<std::int64_t> Model::*member) {
    const std::string key = name;
    cls.def_property(
        name, [member](const PyModel& self) { return int_matrix_copy(self.*member, self.n(), self.n() + 1); },
        [key, member](PyModel& self, const py::object& value) {
            auto arr = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>::ensure(value);
            if (!arr) throw py::type_error(key + " must be an integer array");
            check_length(static_cast<std::size_t>(arr.size()), self.n() * (self.n() + 1), key);
            self.*member = std::vector<std::int64_t>(arr.data(), arr.data() + arr.size());
        });
}

void history(ModelClass& cls, const char* name, std::vector<std::vector<double>> Model::*member) {
    cls.def_property(
        name, [member](const PyModel& self) { return history_list(self.*member); },
        [key = std::string(name), member](PyModel& self, const py::iterable& value) {
            std::vector<std::vector<double>> entries;
            for (auto item : value) entries.push_back(flat_real_vector(item, key));
            self.*member = std::move(entries);
        });
}

void number_list(ModelClass& cls, const char* name, std::vector<double> Model::*member) {
    cls.def_property(
        name, [member](const PyModel& self) { return py::cast(self.*member); },
        [member](PyModel& self, const std::vector<double>& value) { self.*member = value; });
}

py::list timed_history(const std::vector<model::TimedArray>& entries, const char* key) {
    py::list out;
    for (const auto& entry : entries) {
        py::dict d;
        d["time"] = entry.time;
        d[key] = to_numpy(entry.values);
        out.append(d);
    }
    return out;
}

py::dict composition_dict(const model::CarbonComposition& c) {
    py::dict d;
    d["cnt_percent"] = c.cnt_percent;
    d["gp_percent"] = c.gp_percent;
    d["impurity_percent"] = c.impurity_percent;
    d["other_percent"] = c.other_percent;
    return d;
}

void ordered(ModelClass& cls, const char* name, OrderedMap<double> Model::*member) {
    cls.def_property(
        name, [member](const PyModel& self) { return ordered_to_dict(self.*member); },
        [member](PyModel& self, const py::dict& value) { self.*member = dict_to_ordered(value); });
}

}  // namespace

py::array_t<double> matrix_copy(const std::vector<double>& v, std::size_t rows, std::size_t cols) {
    py::array_t<double> out({static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(cols)});
    if (v.size() == rows * cols) std::copy(v.begin(), v.end(), out.mutable_data());
    return out;
}

py::array_t<std::int64_t> int_matrix_copy(const std::vector<std::int64_t>& v, std::size_t rows, std::size_t cols) {
    py::array_t<std::int64_t> out({static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(cols)});
    if (v.size() == rows * cols) std::copy(v.begin(), v.end(), out.mutable_data());
    return out;
}

py::list history_list(const std::vector<std::vector<double>>& entries) {
    py::list out;
    for (const auto& entry : entries) out.append(to_numpy(entry));
    return out;
}

void register_model_attributes(ModelClass& cls) {
    // ---- keyword parameters ----
    text(cls, "catalsyt_element", &Model::catalsyt_element);
    number(cls, "reactor_length", &Model::reactor_length);
    number(cls, "_MovingSectionalModel__xqtot", &Model::xqtot);
    number(cls, "xdtube", &Model::xdtube);
    number(cls, "total_pressure", &Model::total_pressure);
    text(cls, "kinetics_mechanism_type", &Model::kinetics_mechanism_type);
    text(cls, "feedstock_gas_name_dominant_current", &Model::feedstock_gas_name_dominant_current);
    ordered(cls, "gas_initial_composition", &Model::gas_initial_composition);
    text(cls, "surface_kinetics_type", &Model::surface_kinetics_type);
    flag(cls, "surface_kinetics_solver_activated", &Model::surface_kinetics_solver_activated);
    flag(cls, "carb_struct_enabled", &Model::carb_struct_enabled);
    flag(cls, "deactivation_enabled", &Model::deactivation_enabled);
    flag(cls, "plot_enabled", &Model::plot_enabled);
    flag(cls, "gas_NP_time_considered", &Model::gas_NP_time_considered);
    number(cls, "H2_STICKING_PROBABILITY", &Model::H2_STICKING_PROBABILITY);
    integer(cls, "intnum", &Model::intnum, false);
    number(cls, "total_initial_concentration", &Model::total_initial_concentration);
    number(cls, "dp_initial_premade", &Model::dp_initial_premade);
    text(cls, "initial_distribution", &Model::initial_distribution);
    number(cls, "geometric_std", &Model::geometric_std);
    text(cls, "low_high_range_defined", &Model::low_high_range_defined);
    text(cls, "distribution_type", &Model::distribution_type);
    number(cls, "low_PP_range", &Model::low_PP_range);
    number(cls, "high_PP_range", &Model::high_PP_range);
    text(cls, "collision_type", &Model::collision_type);
    flag(cls, "collision_diameter_update", &Model::collision_diameter_update);
    text(cls, "regrid_condition", &Model::regrid_condition);
    number(cls, "bin_spacing", &Model::bin_spacing);
    number(cls, "elimination_spacing", &Model::elimination_spacing);
    number(cls, "initial_fractal_dimension", &Model::initial_fractal_dimension);
    text(cls, "numerical_approach_NP_temp_solver", &Model::numerical_approach_NP_temp_solver);
    text(cls, "paper_name_for_temperature_history", &Model::paper_name_for_temperature_history);
    flag(cls, "sinterin_energy_release_activated", &Model::sinterin_energy_release_activated);
    number(cls, "min_temp", &Model::min_temp);
    number(cls, "ambient_temp", &Model::ambient_temp);
    number(cls, "CNT_wall_number", &Model::CNT_wall_number);
    number(cls, "fraction_cnt_gp", &Model::fraction_cnt_gp);
    number(cls, "method_cnt", &Model::method_cnt);
    number(cls, "critical_cnt_length", &Model::critical_cnt_length);
    number(cls, "initial_possible_d_cnt", &Model::initial_possible_d_cnt);
    number(cls, "carbon_atoms_per_particle_initial", &Model::carbon_atoms_per_particle_initial);
    number(cls, "surf_dens_monolayer", &Model::surf_dens_monolayer);
    number(cls, "alpha_adjust", &Model::alpha_adjust);
    number(cls, "_MovingSectionalModel__gp_thickness", &Model::gp_thickness);
    number(cls, "gase", &Model::gase);
    number(cls, "gaspre", &Model::gaspre);
    number(cls, "surfe", &Model::surfe);
    number(cls, "surfpre", &Model::surfpre);

    // ---- constants ----
    for (auto [name, member] : std::initializer_list<std::pair<const char*, double Model::*>>{
             {"vpi", &Model::vpi},
             {"avog", &Model::avog},
             {"rkb", &Model::rkb},
             {"rgas", &Model::rgas},
             {"p", &Model::p},
             {"kb", &Model::kb},
             {"_MovingSectionalModel__xmwp_Fe", &Model::xmwp_Fe},
             {"_MovingSectionalModel__xmwp_Ni", &Model::xmwp_Ni},
             {"rhop_Fe", &Model::rhop_Fe},
             {"rhop_Ni", &Model::rhop_Ni},
             {"cv_Ni", &Model::cv_Ni},
             {"cv_Fe", &Model::cv_Fe},
             {"sigma_Ni", &Model::sigma_Ni},
             {"sigma_Fe", &Model::sigma_Fe},
             {"epsilon_Ni", &Model::epsilon_Ni},
             {"epsilon_Fe", &Model::epsilon_Fe},
             {"rho_cnt", &Model::rho_cnt},
             {"xmwg", &Model::xmwg},
             {"_MovingSectionalModel__A_diff_H2Fe", &Model::A_diff_H2Fe},
             {"_MovingSectionalModel__E_diff_H2Fe", &Model::E_diff_H2Fe},
             {"_MovingSectionalModel__A_diff_H2Ni", &Model::A_diff_H2Ni},
             {"_MovingSectionalModel__E_diff_H2Ni", &Model::E_diff_H2Ni},
             {"a_Ni", &Model::a_Ni},
             {"a_Fe", &Model::a_Fe},
             {"a_COB", &Model::a_COB},
             {"lattice_parameter_Fe", &Model::lattice_parameter_Fe},
             {"lattice_parameter_Ni", &Model::lattice_parameter_Ni},
             {"V_Ni", &Model::V_Ni},
             {"V_Fe", &Model::V_Fe},
             {"V_COB", &Model::V_COB},
             {"xmjet", &Model::xmjet},
             {"xmjeto", &Model::xmjeto},
             {"tempjo", &Model::tempjo},
             {"xel", &Model::xel},
             {"xfie", &Model::xfie},
             {"initial_mol_fraction", &Model::initial_mol_fraction},
             // element-selected
             {"rhop", &Model::rhop},
             {"_MovingSectionalModel__xmwp", &Model::xmwp},
             {"cv", &Model::cv},
             {"sigma_NP", &Model::sigma_NP},
             {"epsilon_NP", &Model::epsilon_NP},
             {"_A_H2_diffusion", &Model::A_H2_diffusion},
             {"_Ea_H2_diffusion", &Model::Ea_H2_diffusion},
             {"a", &Model::a},
             {"atom_volume", &Model::atom_volume},
             {"lattice_parameter", &Model::lattice_parameter},
             {"volume_unitcell", &Model::volume_unitcell},
             // derived and running scalars
             {"surf_cov_gp_current", &Model::surf_cov_gp_current},
             {"reactor_volume", &Model::reactor_volume},
             {"reactor_initial_pressure", &Model::reactor_initial_pressure},
             {"density_initial", &Model::density_initial},
             {"vel", &Model::vel},
             {"initial_N", &Model::initial_N},
             {"lengthththt", &Model::lengthththt},
             {"tend_current", &Model::tend_current},
             {"gp_coverage_ratio", &Model::gp_coverage_ratio},
             {"total_carbon_added", &Model::total_carbon_added},
             {"H2_surface_current", &Model::H2_surface_current},
             {"x1_activator", &Model::x1_activator},
             {"gyration_diameter", &Model::gyration_diameter},
             {"molfrac_species1", &Model::molfrac_species1},
             {"molfrac_species2", &Model::molfrac_species2},
             {"molfrac_species3", &Model::molfrac_species3},
             {"xmgases", &Model::xmgases},
             {"c0", &Model::c0},
             {"v0", &Model::v0},
             {"a0", &Model::a0},
             {"total_concentration", &Model::total_concentration},
             {"low_PP_range_auto", &Model::low_PP_range_auto},
             {"high_PP_range_auto", &Model::high_PP_range_auto},
             {"temp", &Model::temp},
             {"rhog", &Model::rhog},
             {"eta", &Model::eta},
             {"xnu", &Model::xnu},
             {"xlm", &Model::xlm},
             {"xk", &Model::xk},
             {"xks", &Model::xks},
             {"xkg", &Model::xkg},
             {"dyn", &Model::dyn},
             {"dynx", &Model::dynx},
             {"current_total_N", &Model::current_total_N},
             {"avg_dp", &Model::avg_dp},
             {"diff_H2_in_NP", &Model::diff_H2_in_NP},
             {"H2_cons_current", &Model::H2_cons_current},
             {"H2_cons_previous", &Model::H2_cons_previous},
             {"current_H2_flux_coeff", &Model::current_H2_flux_coeff},
             {"current_timestep", &Model::current_timestep},
             {"total_N", &Model::total_N},
             {"H2_entered_total", &Model::H2_entered_total},
             {"wall_number_avg", &Model::wall_number_avg},
             {"N_avg", &Model::N_avg},
             {"dm_avg", &Model::dm_avg},
             {"L_cnt_avg", &Model::L_cnt_avg},
             {"growth_rate_per_NP_area", &Model::growth_rate_per_NP_area},
             {"summed_value", &Model::summed_value},
             {"P_eq_H2_entered_total", &Model::P_eq_H2_entered_total},
             {"molarfraction_eq_H2_entered_total", &Model::molarfraction_eq_H2_entered_total},
             {"carbon_mass_balance", &Model::carbon_mass_balance},
             {"total_area", &Model::total_area},
             {"atom_per_PP", &Model::atom_per_PP},
             {"xdg", &Model::xdg},
             {"carbon_composition1", &Model::carbon_composition1},
             {"carbon_composition2", &Model::carbon_composition2},
             {"carbon_composition3", &Model::carbon_composition3},
             {"carbon_composition4", &Model::carbon_composition4},
         })
        number(cls, name, member);
    flag(cls, "encapsulation_cond", &Model::encapsulation_cond);
    cls.def_property(
        "flag_id_mat",
        [](const PyModel& self) -> py::object {
            if (!self.flag_id_mat) return py::none();
            return py::int_(*self.flag_id_mat);
        },
        [](PyModel& self, const py::object& value) {
            if (value.is_none())
                self.flag_id_mat.reset();
            else
                self.flag_id_mat = integer_number(value, "flag_id_mat");
        });
    for (auto [name, member] : std::initializer_list<std::pair<const char*, long Model::*>>{
             {"int2num", &Model::int2num},
             {"int3num", &Model::int3num},
             {"int4num", &Model::int4num},
             {"int5num", &Model::int5num},
             {"int6num", &Model::int6num}})
        integer(cls, name, member, false);
    integer(cls, "isec", &Model::isec);
    integer(cls, "counter", &Model::counter);
    for (auto [name, member] : std::initializer_list<std::pair<const char*, std::optional<double> Model::*>>{
             {"wrapper_mapping_phi", &Model::wrapper_mapping_phi},
             {"wrapper_mapping_temp", &Model::wrapper_mapping_temp},
             {"wrapper_mapping_dp", &Model::wrapper_mapping_dp},
             {"wrapper_mapping_l_reactor", &Model::wrapper_mapping_l_reactor}})
        optional_number(cls, name, member);

    // ---- arrays ----
    for (auto [name, member] : std::initializer_list<std::pair<const char*, std::vector<double> Model::*>>{
             {"y", &Model::y},
             {"yp", &Model::yp},
             {"carbon_data", &Model::carbon_data},
             {"carbon_condition_previou", &Model::carbon_condition_previou},
             {"wall_number_section", &Model::wall_number_section},
             {"xdm", &Model::xdm},
             {"ts", &Model::ts},
             {"x", &Model::x},
             {"x1_previous", &Model::x1_previous},
             {"growth_rate", &Model::growth_rate},
             {"final_values", &Model::final_values}})
        array(cls, name, member, true);
    for (auto [name, member] : std::initializer_list<std::pair<const char*, std::vector<double> Model::*>>{
             {"xdf", &Model::xdf},
             {"xdp_gp", &Model::xdp_gp},
             {"v", &Model::v},
             {"initial_v", &Model::initial_v},
             {"final_value_previous", &Model::final_value_previous},
             {"xkn1", &Model::xkn1},
             {"xdp", &Model::xdp},
             {"saved_xdpr", &Model::saved_xdpr},
             {"xnpr", &Model::xnpr},
             {"xdp_backup", &Model::xdp_backup},
             {"diameters", &Model::diameters},
             {"number_in_bins", &Model::number_in_bins},
             {"bin_volumes_polydisperse", &Model::bin_volumes_polydisperse},
             {"bin_walls_polydisperse", &Model::bin_walls_polydisperse},
             {"x1", &Model::x1},
             {"xdp_updated", &Model::xdp_updated},
             {"dp_dp", &Model::dp_dp},
             {"area_fused", &Model::area_fused},
             {"temp_NP_previous", &Model::temp_NP_previous},
             {"temp_NP_sections", &Model::temp_NP_sections},
             {"final_values_section", &Model::final_values_section}})
        array(cls, name, member, false);
    number_list(cls, "initial_conditions_surf_kin_current", &Model::initial_conditions_surf_kin_current);
    number_list(cls, "simulation_time", &Model::simulation_time);
    number_list(cls, "temp_gas_saved", &Model::temp_gas_saved);
    number_list(cls, "carbon_mass_balance_saved", &Model::carbon_mass_balance_saved);
    matrix(cls, "betafu", &Model::betafu, 0);
    int_table(cls, "jmin", &Model::jmin);
    int_table(cls, "jmax", &Model::jmax);

    // ---- histories ----
    for (auto [name, member] : std::initializer_list<std::pair<const char*, std::vector<std::vector<double>> Model::*>>{
             {"wall_number_section_saved", &Model::wall_number_section_saved},
             {"carbon_data_saved", &Model::carbon_data_saved},
             {"xdm_saved", &Model::xdm_saved},
             {"temp_NP_saved", &Model::temp_NP_saved},
             {"area_ratio_NP_saved", &Model::area_ratio_NP_saved},
             {"ts_saved", &Model::ts_saved},
             {"xdf_saved", &Model::xdf_saved},
             {"xdp_saved", &Model::xdp_saved},
             {"xnpr_saved", &Model::xnpr_saved},
             {"xdp_gp_saved", &Model::xdp_gp_saved},
             {"y_saved", &Model::y_saved}})
        history(cls, name, member);
    cls.def_property_readonly("kn_saved", [](const PyModel& self) { return timed_history(self.kn_saved, "kn"); });
    cls.def_property_readonly("dp_saved", [](const PyModel& self) { return timed_history(self.dp_saved, "dp"); });
    cls.def_property_readonly("carbon_composition_saved", [](const PyModel& self) {
        py::list out;
        for (const auto& c : self.carbon_composition_saved) out.append(composition_dict(c));
        return out;
    });
    cls.def_property_readonly("carbon_composition", [](const PyModel& self) -> py::object {
        if (!self.carbon_composition)
            throw py::attribute_error("'MovingSectionalModel' object has no attribute 'carbon_composition'");
        return composition_dict(*self.carbon_composition);
    });

    // ---- gas-phase results ----
    ordered(cls, "inlet_initial_partial_pressure", &Model::inlet_initial_partial_pressure);
    ordered(cls, "AA12_initial", &Model::AA12_initial);
    cls.def_property(
        "AA00", [](const PyModel& self) { return gas_state_to_python(self.AA00); },
        [](PyModel& self, const py::object& value) { self.AA00 = gas_state_from_python(value); });
    cls.def_property(
        "AA12",
        [](const PyModel& self) -> py::object {
            if (!self.AA12) throw py::attribute_error("'MovingSectionalModel' object has no attribute 'AA12'");
            return gas_state_to_python(*self.AA12);
        },
        [](PyModel& self, const py::object& value) { self.AA12 = gas_state_from_python(value); });
    cls.def_property(
        "gas", [](const PyModel& self) { return self.python_kinetics->gas; },
        [](PyModel& self, const py::object& value) { self.python_kinetics->gas = value; });
}

}  // namespace velmora::bind
