#include <pybind11/pybind11.h>

#include "common/module_setup.hpp"

PYBIND11_MODULE(growth_simulator, m) {
    velmora::bind::setup_module(m);
}
