#include <cmath>
#include <string>
#include <tuple>

#include "fast_kernels/kernel_arrays.hpp"
#include "pbe/beta_matrix.hpp"

namespace velmora::bind {
namespace {

py::tuple beta_matrix_kernel(const FloatArray& y_input, const FloatArray& x_input,
                             const FloatArray& initial_v, const FloatArray& x1_previous,
                             const FloatArray& xdp_updated, const FloatArray& xdp_backup_input,
                             std::int64_t isec, std::int64_t intnum, std::int64_t int2num,
                             std::int64_t /*int3num*/, std::int64_t counter, double temp, double eta,
                             double xlm, double rhop, double vpi, double rkb,
                             bool collision_diameter_update) {
    pbe::BetaInputs in;
    in.y = const_span(y_input, "y_input");
    const_span(x_input, "x_input");  // accepted, not read
    in.initial_v = const_span(initial_v, "initial_v");
    in.x1_previous = const_span(x1_previous, "x1_previous");
    in.xdp_updated = const_span(xdp_updated, "xdp_updated");
    in.xdp_backup = const_span(xdp_backup_input, "xdp_backup_input");
    in.isec = isec;
    in.intnum = intnum;
    in.int2num = int2num;
    in.counter = counter;
    in.temp = temp;
    in.eta = eta;
    in.xlm = xlm;
    in.rhop = rhop;
    in.vpi = vpi;
    in.rkb = rkb;
    in.collision_diameter_update = collision_diameter_update;

    const py::ssize_t n = checked_dimension(intnum);
    FloatArray y_out(y_input.size()), xdp_backup_out(xdp_backup_input.size());
    FloatArray x_out(n), xdp_out(n), xnpr_out(n), x1_out(n), xkn1_out(n), xdf_out(n);
    FloatArray betafu_out({n, n});

    pbe::BetaOutputs out;
    out.y = mutable_span(y_out);
    out.xdp_backup = mutable_span(xdp_backup_out);
    out.x = mutable_span(x_out);
    out.xdp = mutable_span(xdp_out);
    out.xnpr = mutable_span(xnpr_out);
    out.x1 = mutable_span(x1_out);
    out.xkn1 = mutable_span(xkn1_out);
    out.xdf = mutable_span(xdf_out);
    out.betafu = mutable_matrix(betafu_out);

    thread_local pbe::BetaWorkspace work;
    pbe::compute_beta_matrix(in, out, work);
    // A gas state the kernel cannot represent (a viscosity or mean free path so small that the
    // diffusivity overflows, and the like) must not come back as a matrix of inf/NaN.
    for (double b : out.betafu.data) {
        if (!std::isfinite(b))
            throw py::value_error("calculate_beta_matrix_kernel: the collision matrix is not finite for temp=" +
                                  py::repr(py::float_(temp)).cast<std::string>() +
                                  ", eta=" + py::repr(py::float_(eta)).cast<std::string>() +
                                  ", xlm=" + py::repr(py::float_(xlm)).cast<std::string>() +
                                  ", rhop=" + py::repr(py::float_(rhop)).cast<std::string>() +
                                  " and the given sections");
    }

    return py::make_tuple(y_out, x_out, xdp_out, xdp_backup_out, xnpr_out,
                          out.last_fractal_dimension, x1_out, xkn1_out, betafu_out, xdf_out);
}

}  // namespace

void register_beta_matrix_kernel(py::module_& m) {
    m.def("calculate_beta_matrix_kernel", &beta_matrix_kernel, py::arg("y_input"), py::arg("x_input"),
          py::arg("initial_v"), py::arg("x1_previous"), py::arg("xdp_updated"),
          py::arg("xdp_backup_input"), py::arg("isec"), py::arg("intnum"), py::arg("int2num"),
          py::arg("int3num"), py::arg("counter"), py::arg("temp"), py::arg("eta"), py::arg("xlm"),
          py::arg("rhop"), py::arg("vpi"), py::arg("rkb"), py::arg("collision_diameter_update"),
          "Per-section morphology and the Fuchs collision-frequency matrix.\n\n"
          "Returns (y_out, x_out, xdp_out, xdp_backup_out, xnpr_out, fractal_dimension,\n"
          "x1_out, xkn1_out, betafu_out, xdf_out). Inputs are not modified.");
}

}  // namespace velmora::bind
