#include <pybind11/pybind11.h>

#include "common/module_setup.hpp"

PYBIND11_MODULE(np_thermal, m) {
    velmora::bind::setup_module(m);
}
