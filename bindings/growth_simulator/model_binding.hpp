// Shared declarations of the growth_simulator bindings: the Python-facing
// model type (the core model plus what only the host knows: the Cantera gas
// object and the Python number types of scalar attributes).
#pragma once
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <string>
#include <unordered_map>

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

// How a scalar attribute reads back in Python: as an int when it was given or
// defined as one and still holds an integral value, otherwise as a float.
enum class NumberKind : unsigned char { Float, Int };

class PyModel : public model::MovingSectionalModel {
public:
    PyModel(model::ModelParameters parameters, std::shared_ptr<PythonGasKinetics> gas_kinetics,
            std::unordered_map<std::string, NumberKind> number_kinds)
        : MovingSectionalModel(std::move(parameters), gas_kinetics),
          python_kinetics(std::move(gas_kinetics)),
          kinds(std::move(number_kinds)) {}

    std::shared_ptr<PythonGasKinetics> python_kinetics;
    std::unordered_map<std::string, NumberKind> kinds;

    py::object number(const std::string& name, double value) const {
        auto it = kinds.find(name);
        if (it != kinds.end() && it->second == NumberKind::Int && std::isfinite(value) &&
            value == static_cast<double>(static_cast<long long>(value)))
            return py::int_(static_cast<long long>(value));
        return py::float_(value);
    }
};

using ModelClass = py::class_<PyModel, std::unique_ptr<PyModel>>;

// numpy copies of core arrays (never views into storage that may move).
py::array_t<double> matrix_copy(const std::vector<double>& v, std::size_t rows, std::size_t cols);
py::array_t<std::int64_t> int_matrix_copy(const std::vector<std::int64_t>& v, std::size_t rows, std::size_t cols);
py::list history_list(const std::vector<std::vector<double>>& history);

void register_model_construction(ModelClass& cls);
void register_model_attributes(ModelClass& cls);
void register_model_methods(ModelClass& cls);
// One registration per concern of the model (files methods_<concern>.cpp).
void register_initial_state_methods(ModelClass& cls);
void register_profile_methods(ModelClass& cls);
void register_right_hand_side_methods(ModelClass& cls);
void register_regridding_methods(ModelClass& cls);
void register_geometry_methods(ModelClass& cls);
void register_carbon_accounting_methods(ModelClass& cls);
void register_driver_methods(ModelClass& cls);

}  // namespace velmora::bind
