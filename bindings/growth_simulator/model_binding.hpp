// Shared declarations of the growth_simulator bindings: the Python-facing
// model type (the core model plus what only the host knows: the Cantera gas
// object).
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <memory>

#include "common/gas_convert.hpp"
#include "model/moving_sectional_model.hpp"

namespace velmora::bind {

namespace py = pybind11;

// Gas steps through velmora.modules.gas_reactions.chemical_kinetics with the
// model's Cantera Solution; the function is looked up at each call, as a
// Python module attribute would be.
class PythonGasKinetics : public gas::GasKinetics {
public:
    explicit PythonGasKinetics(py::object gas_object) : gas(std::move(gas_object)) {}
    gas::GasState step(const gas::GasStepRequest& request) override;
    py::object gas;  // the model's Cantera Solution
};

class PyModel : public model::MovingSectionalModel {
public:
    PyModel(model::ModelParameters parameters, std::shared_ptr<PythonGasKinetics> gas_kinetics)
        : MovingSectionalModel(std::move(parameters), gas_kinetics), python_kinetics(std::move(gas_kinetics)) {}

    std::shared_ptr<PythonGasKinetics> python_kinetics;
};

using ModelClass = py::class_<PyModel, std::unique_ptr<PyModel>>;

// A numpy copy of a row-major core matrix (never a view into storage that may
// move); zeros when the matrix does not have that shape yet.
template <class T>
py::array_t<T> matrix_copy(const std::vector<T>& values, std::size_t rows, std::size_t cols) {
    py::array_t<T> out({static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(cols)});
    if (values.size() == rows * cols)
        std::copy(values.begin(), values.end(), out.mutable_data());
    else
        std::fill_n(out.mutable_data(), out.size(), T{});
    return out;
}

// The constructor keywords given in `kwargs`, converted into `parameters`.
void read_parameters(const py::kwargs& kwargs, model::ModelParameters& parameters);
// One dict per attribute of the model, in table order.
py::list parameter_table();
inline constexpr const char* kParameterTableDoc =
    "The model's parameters and attributes, one dict per attribute: name, keyword (the constructor keyword, None "
    "for attributes that are not parameters), part, kind, annotation, writable, default, unit, meaning.";

void register_model_construction(ModelClass& cls);
void register_model_attributes(ModelClass& cls);
// One registration per concern of the model (files methods_<concern>.cpp).
void register_initial_state_methods(ModelClass& cls);
void register_profile_methods(ModelClass& cls);
void register_right_hand_side_methods(ModelClass& cls);
void register_regridding_methods(ModelClass& cls);
void register_geometry_methods(ModelClass& cls);
void register_carbon_accounting_methods(ModelClass& cls);
void register_driver_methods(ModelClass& cls);

}  // namespace velmora::bind
