// Conversion between the core's GasState and the four-item tuple that the
// gas-phase step hands to Python callers:
// (properties dict, all_species, largest_C_species, carbon_atoms_count).
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "common/conversions.hpp"
#include "gas/gas_state.hpp"

namespace velmora::bind {

namespace py = pybind11;

template <class V>
py::dict ordered_to_dict(const OrderedMap<V>& map) {
    py::dict d;
    for (const auto& [key, value] : map) d[py::str(key)] = value;
    return d;
}

inline OrderedMap<double> dict_to_ordered(const py::handle& obj) {
    OrderedMap<double> map;
    for (auto item : py::reinterpret_borrow<py::dict>(obj)) {
        const std::string key = py::str(item.first);
        map.set(key, real_number(item.second, key));
    }
    return map;
}

inline py::tuple gas_state_to_python(const gas::GasState& state) {
    py::dict props;
    props["curr_specs"] = py::list();
    props["curr_visc"] = to_numpy(state.properties.viscosity);
    props["curr_dens"] = to_numpy(state.properties.density);
    props["curr_cp"] = to_numpy(state.properties.cp_mole);
    props["curr_cv"] = to_numpy(state.properties.cv_mole);
    props["curr_total_mol_weight"] = to_numpy(state.properties.mean_molecular_weight);
    return py::make_tuple(props, ordered_to_dict(state.all_species), ordered_to_dict(state.largest_C_species),
                          ordered_to_dict(state.carbon_atoms_count));
}

inline gas::GasState gas_state_from_python(const py::handle& obj) {
    auto seq = py::reinterpret_borrow<py::sequence>(obj);
    if (py::len(seq) < 4) throw py::value_error("a gas state is a sequence of four items");
    gas::GasState state;
    auto props = py::reinterpret_borrow<py::dict>(seq[0]);
    state.properties.viscosity = flat_real_vector(props["curr_visc"], "curr_visc");
    state.properties.density = flat_real_vector(props["curr_dens"], "curr_dens");
    state.properties.cp_mole = flat_real_vector(props["curr_cp"], "curr_cp");
    state.properties.cv_mole = flat_real_vector(props["curr_cv"], "curr_cv");
    state.properties.mean_molecular_weight = flat_real_vector(props["curr_total_mol_weight"], "curr_total_mol_weight");
    state.all_species = dict_to_ordered(seq[1]);
    state.largest_C_species = dict_to_ordered(seq[2]);
    for (auto item : py::reinterpret_borrow<py::dict>(seq[3])) {
        const std::string key = py::str(item.first);
        state.carbon_atoms_count.set(key, static_cast<long>(integer_number(item.second, key)));
    }
    return state;
}

}  // namespace velmora::bind
