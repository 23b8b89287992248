#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

gas::GasState PythonGasKinetics::step(const gas::GasStepRequest& request) {
    py::gil_scoped_acquire gil;
    py::object chemical_kinetics =
        py::module_::import("velmora.modules.gas_reactions").attr("chemical_kinetics");
    using namespace pybind11::literals;
    const py::dict reactor_data("length"_a = request.reactor_length, "diameter"_a = request.tube_diameter,
                                "lengthstep"_a = request.length_step, "reaction_mechanism"_a = request.mechanism);
    py::object result = chemical_kinetics(
        "gas"_a = gas, "dominant_species"_a = request.dominant_species, "flow_velocity"_a = request.flow_velocity,
        "chk_temp"_a = request.temperature, "reactor_pressure"_a = request.pressure_atm,
        "inlet_composition"_a = ordered_to_dict(request.inlet_composition), "reactor_data"_a = reactor_data);
    return gas_state_from_python(result);
}

}  // namespace velmora::bind
