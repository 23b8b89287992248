#include <pybind11/pybind11.h>

#include "common/module_setup.hpp"

PYBIND11_MODULE(fast_kernels, m) {
    velmora::bind::setup_module(m);
}
