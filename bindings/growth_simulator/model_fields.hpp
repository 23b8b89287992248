// The growth_simulator side of the field table (model_fields.def): the initial
// int/float kind of every Real attribute and the table's rows for Python.
#pragma once
#include <string>
#include <unordered_map>

#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

// Attributes whose value reads back as a Python int while it stays integral
// (the Real rows of kind "int").
std::unordered_map<std::string, NumberKind> default_number_kinds();

// One dict per attribute of the model (name, keyword, part, kind, annotation,
// writable, default, unit, meaning), in table order.
py::list parameter_table();

}  // namespace velmora::bind
