// Construction of the reactor model: constants, catalyst data selected by
// element, derived reactor quantities, zeroed arrays and the inlet gas step.
#include <cmath>
#include <string>

#include "common/errors.hpp"
#include "gas/step_limits.hpp"
#include "model/moving_sectional_model.hpp"

namespace velmora::model {

MovingSectionalModel::MovingSectionalModel(ModelParameters parameters, std::shared_ptr<gas::GasKinetics> gas_kinetics)
    : ModelParameters(std::move(parameters)), kinetics(std::move(gas_kinetics)) {
    if (intnum < 2)
        throw InvalidValue("intnum must be at least 2 (two sections are kept beyond the live ones), got " +
                         std::to_string(intnum));
    surf_cov_gp_current = 1 - fraction_cnt_gp;

    update_reactor_volume();
    select_element_data();

    int2num = 2 * intnum;
    int3num = 3 * intnum;
    int4num = 4 * intnum;
    int5num = 5 * intnum;
    int6num = 6 * intnum;

    if (!kinetics) throw InvalidValue("a gas-kinetics source is required to build the model");
    check_physical_parameters();
    derive_inlet_state();
    allocate_arrays();
    y[0] = initial_N;
}

// The inlet gas state and what follows from it: a caller (a study) may change
// the inlet composition, pressure or flow after construction, so solve()
// derives these again from the values the run uses.
void MovingSectionalModel::derive_inlet_state() {
    reactor_initial_pressure = total_pressure;
    density_initial = 1 * xmwg * total_pressure / 8.314 / ambient_temp / 1000;
    const double pressure_atm = total_pressure / 101325;
    vel = 4 * xqtot / (vpi * (xdtube * xdtube)) * ambient_temp / min_temp;

    // Inlet gas state at ambient temperature over a vanishing step.
    gas::GasStepRequest inlet;
    inlet.dominant_species = feedstock_gas_name_dominant_current;
    inlet.flow_velocity = vel;
    inlet.temperature = ambient_temp;
    inlet.pressure_atm = pressure_atm;
    inlet.inlet_composition = gas_initial_composition;
    inlet.length_step = 1e-7;
    inlet.reactor_length = reactor_length;
    inlet.tube_diameter = xdtube;
    inlet.mechanism = kinetics_mechanism_type;
    gas::check_gas_step(inlet.temperature, inlet.pressure_atm, inlet.flow_velocity, inlet.length_step,
                        "MovingSectionalModel: inlet gas step", "ambient_temp", "total_pressure / 101325",
                        "inlet velocity 4*xqtot/(pi*xdtube^2)*ambient_temp/min_temp", "lengthstep");
    // The same request gives the same state: the gas is stepped again only for a changed inlet.
    std::string key = inlet.dominant_species + "|" + inlet.mechanism + "|" + gas::number_text(inlet.temperature) +
                      "|" + gas::number_text(inlet.pressure_atm) + "|" + gas::number_text(inlet.flow_velocity);
    for (const auto& [species, fraction] : gas_initial_composition) key += "|" + species + "=" + gas::number_text(fraction);
    if (key != inlet_request_key || !AA00.properties.cp_mole.size()) {
        AA00 = kinetics->step(inlet);
        inlet_request_key = std::move(key);
    }

    // Particles per unit gas density of the inlet: every run starts from it.
    initial_N = total_initial_concentration / AA00.density();
    if (!y.empty()) y[0] = initial_N;  // (the constructor sets it once the state exists)

    inlet_initial_partial_pressure.clear();
    for (const auto& [species, fraction] : gas_initial_composition)
        inlet_initial_partial_pressure.set(species, fraction * reactor_initial_pressure);
}

// Derived from reactor_length and xdtube, which a caller (a study) may set after
// construction: solve() derives it again from the values the run uses.
void MovingSectionalModel::update_reactor_volume() {
    const double cross_section = 0.25 * vpi * (xdtube * xdtube);
    reactor_volume = cross_section * reactor_length;
}

void MovingSectionalModel::check_physical_parameters() const {
    // A length of 0 or below gives a run without steps; NaN is no length at all.
    if (std::isnan(reactor_length)) throw InvalidValue("reactor_length must be a length in m, got nan");
    auto temperature = [](double value, const char* name) {
        if (!(std::isfinite(value) && value > 0))
            throw InvalidValue(std::string(name) + " must be a finite temperature above 0 K, got " + gas::number_text(value));
    };
    temperature(ambient_temp, "ambient_temp");
    temperature(min_temp, "min_temp");
    if (wrapper_mapping_temp) temperature(*wrapper_mapping_temp, "wrapper_mapping_temp");
    // Divisors of the wall-number estimate: zero, a subnormal (its reciprocal overflows)
    // or NaN can only give inf/NaN walls.
    auto divisor = [](double value, const char* name) {
        if (value == 0 || std::isnan(value) || std::fpclassify(value) == FP_SUBNORMAL)
            throw InvalidValue(std::string(name) + " divides the CNT wall-number estimate and must be non-zero, got " +
                             gas::number_text(value));
    };
    // The share of grown carbon that forms CNTs; the rest, 1 - fraction_cnt_gp,
    // forms graphene. Outside [0, 1] one of the two is negative carbon, and a
    // huge negative share wraps the particles in more graphene shells than
    // any run could count.
    if (!(fraction_cnt_gp >= 0 && fraction_cnt_gp <= 1))
        throw InvalidValue("fraction_cnt_gp must be a fraction between 0 and 1, got " + gas::number_text(fraction_cnt_gp));
    divisor(alpha_adjust, "alpha_adjust");
    divisor(surf_dens_monolayer, "surf_dens_monolayer");
}

void MovingSectionalModel::select_element_data() {
    const bool nickel = catalsyt_element == "Ni";
    const bool iron = catalsyt_element == "Fe";
    if (nickel) flag_id_mat = 1;
    if (iron) flag_id_mat = 2;
    if (!nickel && !iron)
        throw missing_attribute(kClassName, "rhop_" + catalsyt_element);

    rhop = nickel ? rhop_Ni : rhop_Fe;
    xmwp = nickel ? xmwp_Ni : xmwp_Fe;
    cv = (nickel ? cv_Ni : cv_Fe) * xmwp;
    sigma_NP = nickel ? sigma_Ni : sigma_Fe;
    epsilon_NP = nickel ? epsilon_Ni : epsilon_Fe;
    A_H2_diffusion = nickel ? A_diff_H2Ni : A_diff_H2Fe;
    Ea_H2_diffusion = nickel ? E_diff_H2Ni : E_diff_H2Fe;
    a = nickel ? a_Ni : a_Fe;
    V_Ni = vpi / 6 * std::pow(a_Ni, 3);
    V_Fe = vpi / 6 * std::pow(a_Fe, 3);
    V_COB = vpi / 6 * std::pow(a_COB, 3);
    atom_volume = nickel ? V_Ni : V_Fe;
    lattice_parameter = nickel ? lattice_parameter_Ni : lattice_parameter_Fe;
    volume_unitcell = std::pow(lattice_parameter, 3);
}

void MovingSectionalModel::allocate_arrays() {
    const std::size_t sections = n();
    y.assign(4 * sections + 1, 0.0);
    yp.assign(4 * sections + 1, 0.0);
    carbon_data.assign(6 * sections, 0.0);
    for (auto* array : {&carbon_condition_previou, &wall_number_section, &xdm, &xdf, &ts, &x, &x1_previous, &xdp_gp})
        array->assign(sections, 0.0);
    v.assign(sections + 1, 0.0);
    initial_v.assign(sections + 1, 0.0);
    growth_rate.assign(sections - 2, 0.0);
    betafu.assign(sections * sections, 0.0);
    jmin.assign(sections * (sections + 1), 0);
    jmax.assign(sections * (sections + 1), 0);
    final_values.assign(7, 0.0);
    final_value_previous.assign(6, 0.0);
    initial_conditions_surf_kin_current.assign(6, 0.0);
}

gas::GasState MovingSectionalModel::run_gas_step(double flow_velocity, double temperature, double length_step,
                                                 const OrderedMap<double>& composition,
                                                 const std::string& dominant_species) {
    gas::check_gas_step(temperature, total_pressure / 101325, flow_velocity, length_step, "MovingSectionalModel: gas step",
                        "temp", "total_pressure / 101325", "vel", "tend - t");
    gas::GasStepRequest request;
    request.dominant_species = dominant_species;
    request.flow_velocity = flow_velocity;
    request.temperature = temperature;
    request.pressure_atm = total_pressure / 101325;
    request.inlet_composition = composition;
    request.length_step = length_step;
    request.reactor_length = reactor_length;
    request.tube_diameter = xdtube;
    request.mechanism = kinetics_mechanism_type;
    return kinetics->step(request);
}

}  // namespace velmora::model
