// velmora.modules.gas_reactions: one isothermal, constant-pressure step of the
// gas mixture with Cantera, condensed into the properties and compositions the
// particle models read. The step itself is a sequence of Cantera calls in the
// private module velmora.modules._gas_step; the request check and the
// composition logic (carbon counts, the largest carbon species) are the core's.
#include "common/gas_convert.hpp"
#include "common/module_setup.hpp"
#include "gas/carbon_species.hpp"
#include "gas/step_limits.hpp"

#include <optional>

namespace py = pybind11;

namespace velmora::bind {
namespace {

// The value of a real number; nothing for other objects, which Cantera or the
// arithmetic judge themselves.
std::optional<double> real_value(const py::handle& h) {
    try {
        return real_number(h, "");
    } catch (const py::type_error&) {
        return std::nullopt;
    }
}

py::tuple chemical_kinetics(py::object gas, py::object dominant_species, py::object flow_velocity,
                            py::object chk_temp, py::object reactor_pressure, py::object inlet_composition,
                            py::object reactor_data) {
    py::object length_step = reactor_data[py::str("lengthstep")];
    {
        // Never hand Cantera a request it cannot survive (a huge advance can crash it).
        const auto T = real_value(chk_temp), P = real_value(reactor_pressure), u = real_value(flow_velocity),
                   dx = real_value(length_step);
        if (T && P && u && dx) gas::check_gas_step(*T, *P, *u, *dx, "chemical_kinetics");
    }
    const py::object step = py::module_::import("velmora.modules._gas_step")
                                .attr("isothermal_step")(gas, flow_velocity, chk_temp, reactor_pressure,
                                                         inlet_composition, length_step);
    gas::GasState state = gas_state_from_python(step);  // the carbon tables are filled here
    state.largest_C_species = gas::largest_carbon_species(state.all_species, 5);
    state.carbon_atoms_count = gas::carbon_atoms_table(py::str(dominant_species), state.largest_C_species);
    return gas_state_to_python(state);
}

}  // namespace
}  // namespace velmora::bind

PYBIND11_MODULE(gas_reactions, m) {
    using namespace velmora;
    bind::setup_module(m);
    m.doc() = "Gas-phase kinetics of the reactor with Cantera.";
    // The module's companions are bound as the Python module would bind them.
    py::module_::import("cantera");
    py::module_::import("pandas");
    m.attr("chemical_kinetics_species_detector") = py::module_::import("velmora.modules.chemical_kinetics_species_detector");

    // Defaults are single shared objects, as a Python default argument would be.
    using namespace pybind11::literals;
    const py::dict default_composition("C2H2"_a = 0.00452, "C2H4"_a = 1e-15, "H2"_a = 0.0905, "N2"_a = 0.90498);
    const py::dict default_reactor("length"_a = 0.6, "diameter"_a = 0.0254, "lengthstep"_a = 1e-07,
                                   "reaction_mechanism"_a = "FFCM2");

    m.def("chemical_kinetics", &bind::chemical_kinetics, py::arg("gas"), py::arg("dominant_species") = "C2H2",
          py::arg("flow_velocity") = 0.14, py::arg("chk_temp") = 1000, py::arg("reactor_pressure") = 1,
          py::arg("inlet_composition") = default_composition, py::arg("reactor_data") = default_reactor,
          "Advance `gas` isothermally at constant pressure over one axial step and return\n"
          "(properties, all_species, largest_C_species, carbon_atoms_count).");
    m.def("count_carbon_atoms", [](const std::string& formula) { return gas::count_carbon_atoms(formula); },
          py::arg("formula"), "Carbon atoms of the leading carbon group of a formula (0 if it does not start with C).");
}
