// The keyword parameter set of the reactor model, with its defaults. Each
// parameter is stored under the attribute of the same name; keywords the model
// does not know are ignored.
#pragma once
#include <string>

#include "common/ordered_map.hpp"

namespace velmora::model {

inline OrderedMap<double> default_inlet_composition() {
    OrderedMap<double> composition;
    composition.set("C2H2", 0.00452);
    composition.set("C2H4", 1e-15);
    composition.set("H2", 0.00905);
    composition.set("N2", 0.90498);
    return composition;
}

struct ModelParameters {
    std::string catalsyt_element = "Ni";
    double reactor_length = 0.6;          // m
    double xqtot = 2.01e-5;               // total inlet volumetric flow, m^3/s (private "__xqtot")
    double xdtube = 0.0254;               // tube inner diameter, m
    double total_pressure = 101325;       // Pa
    std::string kinetics_mechanism_type = "FFCM2";
    std::string feedstock_gas_name_dominant_current = "C2H2";
    OrderedMap<double> gas_initial_composition = default_inlet_composition();
    std::string surface_kinetics_type = "Surface_Kinetics_Puretzky_etal_2005";
    bool surface_kinetics_solver_activated = true;
    bool carb_struct_enabled = true;
    bool deactivation_enabled = true;
    bool plot_enabled = false;
    bool gas_NP_time_considered = false;
    double H2_STICKING_PROBABILITY = 0.02;
    long intnum = 35;
    double total_initial_concentration = 1e11;
    double dp_initial_premade = 1.5e-8;   // m
    std::string initial_distribution = "Monodisperse";
    double geometric_std = 1.15;
    std::string low_high_range_defined = "Auto";
    std::string distribution_type = "normal";
    double low_PP_range = 1e-8;
    double high_PP_range = 3e-8;
    std::string collision_type = "dm&dg";
    bool collision_diameter_update = true;
    std::string regrid_condition = "Fixed";
    double bin_spacing = 1.6;
    double elimination_spacing = 1.1;
    double initial_fractal_dimension = 3;
    std::string numerical_approach_NP_temp_solver = "Implicit";
    std::string paper_name_for_temperature_history = "custom";
    bool sinterin_energy_release_activated = false;
    double min_temp = 293;
    double ambient_temp = 293;
    double CNT_wall_number = 15;
    double fraction_cnt_gp = 0.5;
    double method_cnt = 1;
    double critical_cnt_length = 1e-7;
    double initial_possible_d_cnt = 7e-10;
    double carbon_atoms_per_particle_initial = 0;
    double surf_dens_monolayer = 1e19;
    double alpha_adjust = 0.3;
    double gp_thickness = 3.4e-10;        // graphene layer thickness, m (private "__gp_thickness")
    double gase = 8479.6728409911;
    double gaspre = 396000;
    double surfe = 15155.15997113303;
    double surfpre = 1e9;
};

}  // namespace velmora::model
