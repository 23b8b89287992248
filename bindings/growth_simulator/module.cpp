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

    m.def("parameter_table", &velmora::bind::parameter_table, velmora::bind::kParameterTableDoc);

    using namespace velmora::bind;
    ModelClass cls(m, velmora::model::MovingSectionalModel::kClassName, py::dynamic_attr(),
                   "Moving sectional population-balance model of catalyst agglomerates.");
    // The constructor, the attributes, then the methods grouped by concern (methods_<concern>.cpp).
    for (auto register_part : {register_model_construction, register_model_attributes, register_initial_state_methods,
                               register_profile_methods, register_right_hand_side_methods, register_regridding_methods,
                               register_geometry_methods, register_carbon_accounting_methods, register_driver_methods})
        register_part(cls);
}
