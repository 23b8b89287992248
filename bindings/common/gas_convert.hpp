// Conversion between the core's GasState and the four-item tuple that the
// gas-phase step hands to Python callers:
// (properties dict, all_species, largest_C_species, carbon_atoms_count).
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "gas/gas_state.hpp"

namespace velmora::bind {

namespace py = pybind11;

inline py::array_t<double> to_numpy(const std::vector<double>& v) {
    py::array_t<double> out(static_cast<py::ssize_t>(v.size()));
    std::copy(v.begin(), v.end(), out.mutable_data());
    return out;
}

template <class V>
py::dict ordered_to_dict(const OrderedMap<V>& map) {
    py::dict d;
    for (const auto& [key, value] : map) d[py::str(key)] = value;
    return d;
}

inline OrderedMap<double> dict_to_ordered(const py::handle& obj) {
    OrderedMap<double> map;
    for (auto item : py::reinterpret_borrow<py::dict>(obj)) map.set(py::str(item.first), item.second.cast<double>());
    return map;
}

inline std::vector<double> array_to_vector(const py::handle& obj) {
    auto arr = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(obj);
    if (!arr) {
        // A plain number stands for a one-element array.
        return {obj.cast<double>()};
    }
    return std::vector<double>(arr.data(), arr.data() + arr.size());
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
    state.properties.viscosity = array_to_vector(props["curr_visc"]);
    state.properties.density = array_to_vector(props["curr_dens"]);
    state.properties.cp_mole = array_to_vector(props["curr_cp"]);
    state.properties.cv_mole = array_to_vector(props["curr_cv"]);
    state.properties.mean_molecular_weight = array_to_vector(props["curr_total_mol_weight"]);
    state.all_species = dict_to_ordered(seq[1]);
    state.largest_C_species = dict_to_ordered(seq[2]);
    for (auto item : py::reinterpret_borrow<py::dict>(seq[3]))
        state.carbon_atoms_count.set(py::str(item.first), item.second.cast<long>());
    return state;
}

}  // namespace velmora::bind
