#include <pybind11/pybind11.h>

#include "common/module_setup.hpp"
#include "growth_simulator/model_binding.hpp"
#include "growth_simulator/model_fields.hpp"

namespace py = pybind11;

PYBIND11_MODULE(growth_simulator, m) {
    velmora::bind::setup_module(m);
    m.doc() = "The moving sectional population-balance model of catalyst agglomerates in a flow reactor.";

    // The modules this one is built with, bound as the Python module would bind them.
    m.attr("np") = py::module_::import("numpy");
    m.attr("fast_kernels") = py::module_::import("velmora.core.fast_kernels");
    m.attr("gas_reactions") = py::module_::import("velmora.modules.gas_reactions");
    m.attr("np_thermal") = py::module_::import("velmora.modules.np_thermal");
    m.attr("acetylene_growth") = py::module_::import("velmora.modules.acetylene_growth");
    m.attr("species_detector") =
        py::module_::import("velmora.modules.chemical_kinetics_species_detector").attr("species_detector");
    m.attr("carbon_sat") = py::module_::import("velmora.modules.solubility_check").attr("carbon_sat");
    m.attr("ct") = py::module_::import("cantera");
    m.attr("Results_Processor") = py::module_::import("velmora.modules.Results_Processor");

    // Locating package data is a matter of file paths: a plain function of the package.
    m.attr("get_mechanism_path") = py::module_::import("velmora.core._mechanism").attr("get_mechanism_path");

    m.def("parameter_table", &velmora::bind::parameter_table,
          "The model's parameters and attributes, one dict per attribute (name, keyword, part, kind, "
          "annotation, writable, default, unit, meaning), in table order.");

    velmora::bind::ModelClass cls(m, "MovingSectionalModel", py::dynamic_attr(),
                                  "Moving sectional population-balance model of catalyst agglomerates.");
    velmora::bind::register_model_construction(cls);
    velmora::bind::register_model_attributes(cls);
    velmora::bind::register_model_methods(cls);
}
