// MovingSectionalModel(**kwargs): the keyword parameters of model_fields.def
// with their defaults (unknown keywords ignored), the Cantera gas object, and
// the core construction.
#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

void register_model_construction(ModelClass& cls) {
    // Keyword arguments only: pybind11 refuses positional ones.
    cls.def(py::init([](const py::kwargs& kwargs) {
                model::ModelParameters parameters;
                read_parameters(kwargs, parameters);
                // The Cantera Solution every gas step of this model works on.
                py::object gas = py::module_::import("velmora.core._mechanism")
                                     .attr("gas_solution")(parameters.kinetics_mechanism_type);
                return std::make_unique<PyModel>(std::move(parameters), std::make_shared<PythonGasKinetics>(gas));
            }),
            "Build a reactor model from keyword parameters (unknown keywords are ignored).");
}

}  // namespace velmora::bind
