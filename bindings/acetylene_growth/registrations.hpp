// One registration function per surface-kinetics class of the module.
#pragma once
#include <pybind11/pybind11.h>

namespace velmora::bind {

void register_puretzky_surface_kinetics(pybind11::module_& m);
void register_ma_surface_kinetics(pybind11::module_& m);

}  // namespace velmora::bind
