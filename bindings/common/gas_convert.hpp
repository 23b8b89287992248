// Conversion between the core's GasState and the four-item tuple that the
// gas-phase step hands to Python callers:
// (properties dict, all_species, largest_C_species, carbon_atoms_count).
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

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

// A dict of numbers (or of integers, V = long), its key order kept.
template <class V = double>
OrderedMap<V> dict_to_ordered(const py::handle& obj, std::string_view what) {
    if (!py::isinstance<py::dict>(obj))
        throw py::type_error(std::string(what) + " must be a dict, not '" + python_type_name(obj) + "'");
    OrderedMap<V> map;
    for (auto item : py::reinterpret_borrow<py::dict>(obj)) {
        const std::string key = py::str(item.first);
        if constexpr (std::is_same_v<V, long>)
            map.set(key, static_cast<long>(integer_number(item.second, key)));
        else
            map.set(key, real_number(item.second, key));
    }
    return map;
}

// The properties dict's keys of the core's property arrays.
inline constexpr std::pair<const char*, std::vector<double> gas::GasProperties::*> kGasPropertyKeys[] = {
    {"curr_visc", &gas::GasProperties::viscosity},
    {"curr_dens", &gas::GasProperties::density},
    {"curr_cp", &gas::GasProperties::cp_mole},
    {"curr_cv", &gas::GasProperties::cv_mole},
    {"curr_total_mol_weight", &gas::GasProperties::mean_molecular_weight}};

inline py::tuple gas_state_to_python(const gas::GasState& state) {
    py::dict props;
    props["curr_specs"] = py::list();
    for (const auto& [key, member] : kGasPropertyKeys) props[key] = to_numpy(state.properties.*member);
    return py::make_tuple(props, ordered_to_dict(state.all_species), ordered_to_dict(state.largest_C_species),
                          ordered_to_dict(state.carbon_atoms_count));
}

inline gas::GasState gas_state_from_python(const py::handle& obj) {
    auto seq = py::reinterpret_borrow<py::sequence>(obj);
    if (py::len(seq) < 4) throw py::value_error("a gas state is a sequence of four items");
    gas::GasState state;
    auto props = py::reinterpret_borrow<py::dict>(seq[0]);
    for (const auto& [key, member] : kGasPropertyKeys) state.properties.*member = flat_real_vector(props[key], key);
    state.all_species = dict_to_ordered(seq[1], "all_species");
    state.largest_C_species = dict_to_ordered(seq[2], "largest_C_species");
    state.carbon_atoms_count = dict_to_ordered<long>(seq[3], "carbon_atoms_count");
    return state;
}

}  // namespace velmora::bind
