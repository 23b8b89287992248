#pragma once
#include <pybind11/pybind11.h>

namespace velmora::bind {
void register_chemical_kinetics(pybind11::module_& m);
}
