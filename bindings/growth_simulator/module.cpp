#include <pybind11/pybind11.h>

#include "common/module_setup.hpp"
#include "growth_simulator/model_binding.hpp"

namespace py = pybind11;

PYBIND11_MODULE(growth_simulator, m) {
    velmora::bind::setup_module(m);
    m.doc() = "The moving sectional population-balance model of catalyst agglomerates in a flow reactor.";

    // The modules this one is built with, bound as the Python module would bind them;
    // locating package data (get_mechanism_path) is a plain function of the package.
    velmora::bind::bind_imports(
        m, {{"np", "numpy"},
            {"fast_kernels", "velmora.core.fast_kernels"},
            {"gas_reactions", "velmora.modules.gas_reactions"},
            {"np_thermal", "velmora.modules.np_thermal"},
            {"acetylene_growth", "velmora.modules.acetylene_growth"},
            {"species_detector", "velmora.modules.chemical_kinetics_species_detector", "species_detector"},
            {"carbon_sat", "velmora.modules.solubility_check", "carbon_sat"},
            {"ct", "cantera"},
            {"Results_Processor", "velmora.modules.Results_Processor"},
            {"get_mechanism_path", "velmora.core._mechanism", "get_mechanism_path"}});

    m.def("parameter_table", &velmora::bind::parameter_table,
          "The model's parameters and attributes, one dict per attribute (name, keyword, part, kind, "
          "annotation, writable, default, unit, meaning), in table order.");

    velmora::bind::ModelClass cls(m, "MovingSectionalModel", py::dynamic_attr(),
                                  "Moving sectional population-balance model of catalyst agglomerates.");
    velmora::bind::register_model_construction(cls);
    velmora::bind::register_model_attributes(cls);
    velmora::bind::register_model_methods(cls);
}
