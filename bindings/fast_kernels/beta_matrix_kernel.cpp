#include "fast_kernels/kernel_arrays.hpp"
#include "pbe/beta_matrix.hpp"

namespace velmora::bind {
namespace {

py::tuple beta_matrix_kernel(const py::object& y_obj, const py::object& x_obj, const py::object& initial_v_obj,
                             const py::object& x1_previous_obj, const py::object& xdp_updated_obj,
                             const py::object& xdp_backup_obj, const py::object& isec, const py::object& intnum,
                             const py::object& int2num, const py::object& /*int3num*/, const py::object& counter,
                             const py::object& temp, const py::object& eta, const py::object& xlm,
                             const py::object& rhop, const py::object& vpi, const py::object& rkb,
                             bool collision_diameter_update) {
    KernelArguments args("calculate_beta_matrix_kernel");
    pbe::BetaInputs in;
    in.y = args.vector(y_obj, "y_input");
    args.vector(x_obj, "x_input");  // accepted, not read
    in.initial_v = args.vector(initial_v_obj, "initial_v");
    in.x1_previous = args.vector(x1_previous_obj, "x1_previous");
    in.xdp_updated = args.vector(xdp_updated_obj, "xdp_updated");
    in.xdp_backup = args.vector(xdp_backup_obj, "xdp_backup_input");
    in.isec = args.integer(isec, "isec");
    in.intnum = args.count(intnum, "intnum");
    in.int2num = args.integer(int2num, "int2num");
    in.counter = args.integer(counter, "counter");
    in.temp = args.real(temp, "temp");
    in.eta = args.real(eta, "eta");
    in.xlm = args.real(xlm, "xlm");
    in.rhop = args.real(rhop, "rhop");
    in.vpi = args.real(vpi, "vpi");
    in.rkb = args.real(rkb, "rkb");
    in.collision_diameter_update = collision_diameter_update;

    const auto n = static_cast<std::size_t>(in.intnum);
    pbe::BetaOutputs out;
    const FloatArray y_out = new_result(in.y.size(), out.y);
    const FloatArray xdp_backup_out = new_result(in.xdp_backup.size(), out.xdp_backup);
    const FloatArray x_out = new_result(n, out.x);
    const FloatArray xdp_out = new_result(n, out.xdp);
    const FloatArray xnpr_out = new_result(n, out.xnpr);
    const FloatArray x1_out = new_result(n, out.x1);
    const FloatArray xkn1_out = new_result(n, out.xkn1);
    const FloatArray xdf_out = new_result(n, out.xdf);
    FloatArray betafu_out({n, n});
    out.betafu = {std::span<double>(betafu_out.mutable_data(), n * n), in.intnum, in.intnum};

    thread_local pbe::BetaWorkspace work;
    pbe::compute_beta_matrix(in, out, work);
    pbe::require_finite_beta_matrix(in, out);
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
