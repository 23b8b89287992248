#include <pybind11/pybind11.h>

#include "common/module_setup.hpp"
#include "gas_reactions/chemical_kinetics.hpp"

PYBIND11_MODULE(gas_reactions, m) {
    velmora::bind::setup_module(m);
    m.doc() = "Gas-phase kinetics of the reactor with Cantera.";
    // The module's companions are bound as the Python module would bind them.
    pybind11::module_::import("cantera");
    pybind11::module_::import("pandas");
    m.attr("chemical_kinetics_species_detector") =
        pybind11::module_::import("velmora.modules.chemical_kinetics_species_detector");
    velmora::bind::register_chemical_kinetics(m);
}
