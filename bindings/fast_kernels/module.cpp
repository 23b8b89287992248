#include <pybind11/pybind11.h>

#include "common/module_setup.hpp"
#include "fast_kernels/kernel_arrays.hpp"

PYBIND11_MODULE(fast_kernels, m) {
    velmora::bind::setup_module(m);
    m.doc() = "Population-balance kernels: collision matrix, aggregation classes, derivatives.";
    velmora::bind::register_beta_matrix_kernel(m);
    velmora::bind::register_aggregation_classes_kernel(m);
    velmora::bind::register_derivatives_kernel(m);
}
