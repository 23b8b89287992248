#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

gas::GasState PythonGasKinetics::step(const gas::GasStepRequest& request) {
    py::gil_scoped_acquire gil;
    py::object chemical_kinetics =
        py::module_::import("velmora.modules.gas_reactions").attr("chemical_kinetics");
    py::dict composition;
    for (const auto& [species, fraction] : request.inlet_composition) composition[py::str(species)] = fraction;
    py::dict reactor_data;
    reactor_data["length"] = request.reactor_length;
    reactor_data["diameter"] = request.tube_diameter;
    reactor_data["lengthstep"] = request.length_step;
    reactor_data["reaction_mechanism"] = request.mechanism;
    py::object result = chemical_kinetics(
        py::arg("gas") = gas, py::arg("dominant_species") = request.dominant_species,
        py::arg("flow_velocity") = request.flow_velocity, py::arg("chk_temp") = request.temperature,
        py::arg("reactor_pressure") = request.pressure_atm, py::arg("inlet_composition") = composition,
        py::arg("reactor_data") = reactor_data);
    return gas_state_from_python(result);
}

}  // namespace velmora::bind
