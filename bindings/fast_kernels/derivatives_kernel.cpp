#include "fast_kernels/kernel_arrays.hpp"
#include "pbe/derivatives.hpp"

namespace velmora::bind {
namespace {

py::tuple derivatives_kernel(const py::object& y_obj, const py::object& x_obj, const py::object& xdp_obj,
                             const py::object& xnpr_obj, const py::object& betafu_obj, const py::object& jmin_obj,
                             const py::object& jmax_obj, const py::object& carbon_data_obj, const py::object& temp,
                             const py::object& vel, const py::object& rhog, const py::object& avog,
                             const py::object& v0, const py::object& a0, const py::object& vpi,
                             const py::object& xk, const py::object& xks_area_rhog, const py::object& total_area,
                             const py::object& isec, const py::object& intnum, const py::object& int2num,
                             const py::object& int3num, const py::object& int4num, const py::object& /*int5num*/,
                             const py::object& /*int6num*/, bool /*surface_kinetics_solver_activated*/,
                             const py::object& /*counter*/) {
    KernelArguments args("calculate_derivatives_kernel");
    pbe::DerivativeInputs in;
    in.y = args.vector(y_obj, "y_input");
    in.x = args.vector(x_obj, "x_input");
    in.xdp = args.vector(xdp_obj, "xdp_input");
    in.xnpr = args.vector(xnpr_obj, "xnpr_input");
    in.betafu = args.matrix(betafu_obj, "betafu_input");
    in.jmin = args.index_table(jmin_obj, "jmin_input");
    in.jmax = args.index_table(jmax_obj, "jmax_input");
    args.vector(carbon_data_obj, "carbon_data_input");  // accepted, not read
    in.temp = args.real(temp, "temp");
    in.vel = args.real(vel, "vel");
    in.rhog = args.real(rhog, "rhog");
    in.avog = args.real(avog, "avog");
    in.v0 = args.real(v0, "v0");
    in.a0 = args.real(a0, "a0");
    in.vpi = args.real(vpi, "vpi");
    in.xk = args.real(xk, "xk");
    in.xks_area_rhog = args.real(xks_area_rhog, "xks_area_rhog");
    in.total_area = args.real(total_area, "total_area");
    in.isec = args.integer(isec, "isec");
    in.intnum = args.count(intnum, "intnum");
    in.int2num = args.integer(int2num, "int2num");
    in.int3num = args.integer(int3num, "int3num");
    in.int4num = args.integer(int4num, "int4num");

    pbe::DerivativeOutputs out;
    const FloatArray yp = new_result(in.y.size(), out.yp);
    const FloatArray ts = new_result(static_cast<std::size_t>(in.intnum), out.ts);

    thread_local pbe::DerivativeWorkspace work;
    pbe::compute_derivatives(in, out, work);
    pbe::require_finite_derivatives(in, out);
    return py::make_tuple(yp, ts, out.xkg_local, out.xks_local);
}

}  // namespace

void register_derivatives_kernel(py::module_& m) {
    m.def("calculate_derivatives_kernel", &derivatives_kernel, py::arg("y_input"), py::arg("x_input"),
          py::arg("xdp_input"), py::arg("xnpr_input"), py::arg("betafu_input"), py::arg("jmin_input"),
          py::arg("jmax_input"), py::arg("carbon_data_input"), py::arg("temp"), py::arg("vel"),
          py::arg("rhog"), py::arg("avog"), py::arg("v0"), py::arg("a0"), py::arg("vpi"), py::arg("xk"),
          py::arg("xks_area_rhog"), py::arg("total_area"), py::arg("isec"), py::arg("intnum"),
          py::arg("int2num"), py::arg("int3num"), py::arg("int4num"), py::arg("int5num"),
          py::arg("int6num"), py::arg("surface_kinetics_solver_activated"), py::arg("counter"),
          "Right-hand side of the sectional population balance along the reactor axis.\n\n"
          "Returns (yp, ts, xkg_local, xks_local). Inputs are not modified.");
}

}  // namespace velmora::bind
