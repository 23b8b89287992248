// One isothermal, constant-pressure step of the gas mixture with Cantera's
// Python API, condensed into the properties and compositions the particle
// models read. The composition logic (carbon counts, the largest carbon
// species) is the core's.
#include "gas_reactions/chemical_kinetics.hpp"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include "common/gas_convert.hpp"
#include "gas/carbon_species.hpp"
#include "gas/step_limits.hpp"

#include <optional>

namespace velmora::bind {

namespace py = pybind11;

namespace {

// Cantera's reactors share the caller's Solution object (its state is
// overwritten, as callers expect); newer versions ask for that explicitly.
py::object make_isothermal_reactor(const py::module_& ct, const py::object& gas) {
    py::object reactor_type = ct.attr("IdealGasConstPressureReactor");
    py::object reactor;
    try {
        reactor = reactor_type(gas, py::arg("clone") = false);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_TypeError)) throw;
        reactor = reactor_type(gas);
    }
    reactor.attr("energy_enabled") = false;
    return reactor;
}

// The value of a plain real number (Python or numpy scalar); nothing for
// other objects, which Cantera or the arithmetic below judge themselves.
std::optional<double> real_value(const py::handle& h) {
    const bool scalar = PyFloat_Check(h.ptr()) || PyLong_Check(h.ptr()) ||
                        (py::hasattr(h, "__float__") && py::hasattr(h, "ndim") && h.attr("ndim").cast<int>() == 0);
    if (!scalar) return std::nullopt;
    const double value = PyFloat_AsDouble(h.ptr());
    if (value == -1.0 && PyErr_Occurred()) throw py::error_already_set();
    return value;
}

py::object reactor_phase(const py::object& reactor) {
    return py::hasattr(reactor, "phase") ? reactor.attr("phase") : reactor.attr("thermo");
}

std::vector<double> column(const py::object& states, const char* name) {
    return flat_real_vector(states.attr(name), name);
}

py::tuple chemical_kinetics(py::object gas, py::object dominant_species, py::object flow_velocity,
                            py::object chk_temp, py::object reactor_pressure, py::object inlet_composition,
                            py::object reactor_data) {
    py::module_ ct = py::module_::import("cantera");
    py::module_ np = py::module_::import("numpy");

    py::object pressure = reactor_pressure * ct.attr("one_atm");
    py::object length_step = reactor_data[py::str("lengthstep")];
    {
        // Never hand Cantera a request it cannot survive (a huge advance can crash it).
        const auto T = real_value(chk_temp), P = real_value(reactor_pressure), u = real_value(flow_velocity),
                   dx = real_value(length_step);
        if (T && P && u && dx) gas::check_gas_step(*T, *P, *u, *dx, "chemical_kinetics");
    }
    py::object timestep = length_step / flow_velocity;
    const long n_steps = 1;

    gas.attr("TPX") = py::make_tuple(chk_temp, pressure, inlet_composition);
    py::object reactor = make_isothermal_reactor(ct, gas);
    py::list reactors;
    reactors.append(reactor);
    py::object net = ct.attr("ReactorNet")(reactors);

    py::object phase = reactor_phase(reactor);
    py::object states = ct.attr("SolutionArray")(phase);
    py::object times = (np.attr("arange")(n_steps) + py::int_(1)) * timestep;
    for (auto time : times) {
        net.attr("advance")(time);
        states.attr("append")(reactor_phase(reactor).attr("state"));
    }

    gas::GasState state;
    state.properties.viscosity = column(states, "viscosity");
    state.properties.density = column(states, "density");
    state.properties.cp_mole = column(states, "cp_mole");
    state.properties.cv_mole = column(states, "cv_mole");
    state.properties.mean_molecular_weight = column(states, "mean_molecular_weight");

    auto X = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(states.attr("X"));
    const auto names = gas.attr("species_names").cast<std::vector<std::string>>();
    const py::ssize_t rows = X.shape(0), cols = X.shape(1);
    if (rows < 1 || cols != static_cast<py::ssize_t>(names.size()))
        throw py::value_error("Cantera returned a composition that does not match the mechanism's species");
    const double* last = X.data() + (rows - 1) * cols;
    for (py::ssize_t i = 0; i < cols; ++i) state.all_species.set(names[i], last[i]);

    state.largest_C_species = gas::largest_carbon_species(state.all_species, 5);
    state.carbon_atoms_count = gas::carbon_atoms_table(py::str(dominant_species), state.largest_C_species);
    return gas_state_to_python(state);
}

}  // namespace

void register_chemical_kinetics(py::module_& m) {
    // Defaults are single shared objects, as a Python default argument would be.
    py::dict default_composition;
    default_composition["C2H2"] = 0.00452;
    default_composition["C2H4"] = 1e-15;
    default_composition["H2"] = 0.0905;
    default_composition["N2"] = 0.90498;
    py::dict default_reactor;
    default_reactor["length"] = 0.6;
    default_reactor["diameter"] = 0.0254;
    default_reactor["lengthstep"] = 1e-07;
    default_reactor["reaction_mechanism"] = "FFCM2";

    m.def("chemical_kinetics", &chemical_kinetics, py::arg("gas"), py::arg("dominant_species") = "C2H2",
          py::arg("flow_velocity") = 0.14, py::arg("chk_temp") = 1000, py::arg("reactor_pressure") = 1,
          py::arg("inlet_composition") = default_composition, py::arg("reactor_data") = default_reactor,
          "Advance `gas` isothermally at constant pressure over one axial step and return\n"
          "(properties, all_species, largest_C_species, carbon_atoms_count).");
    m.def("count_carbon_atoms", [](const std::string& formula) { return gas::count_carbon_atoms(formula); },
          py::arg("formula"), "Carbon atoms of the leading carbon group of a formula (0 if it does not start with C).");
}

}  // namespace velmora::bind
