#include "fast_kernels/kernel_arrays.hpp"
#include "pbe/derivatives.hpp"

namespace velmora::bind {
namespace {

py::tuple derivatives_kernel(const FloatArray& y_input, const FloatArray& x_input,
                             const FloatArray& xdp_input, const FloatArray& xnpr_input,
                             const FloatArray& betafu_input, const py::array& jmin_input,
                             const py::array& jmax_input, const FloatArray& carbon_data_input,
                             double temp, double vel, double rhog, double avog, double v0, double a0,
                             double vpi, double xk, double xks_area_rhog, double total_area,
                             std::int64_t isec, std::int64_t intnum, std::int64_t int2num,
                             std::int64_t int3num, std::int64_t int4num, std::int64_t /*int5num*/,
                             std::int64_t /*int6num*/, bool /*surface_kinetics_solver_activated*/,
                             std::int64_t /*counter*/) {
    pbe::DerivativeInputs in;
    in.y = const_span(y_input, "y_input");
    in.x = const_span(x_input, "x_input");
    in.xdp = const_span(xdp_input, "xdp_input");
    in.xnpr = const_span(xnpr_input, "xnpr_input");
    in.betafu = const_matrix(betafu_input, "betafu_input");
    const IndexArray jmin = as_index_table(jmin_input, "jmin_input");
    const IndexArray jmax = as_index_table(jmax_input, "jmax_input");
    in.jmin = const_matrix(jmin);
    in.jmax = const_matrix(jmax);
    const_span(carbon_data_input, "carbon_data_input");  // accepted, not read
    in.temp = temp;
    in.vel = vel;
    in.rhog = rhog;
    in.avog = avog;
    in.v0 = v0;
    in.a0 = a0;
    in.vpi = vpi;
    in.xk = xk;
    in.xks_area_rhog = xks_area_rhog;
    in.total_area = total_area;
    in.isec = isec;
    in.intnum = intnum;
    in.int2num = int2num;
    in.int3num = int3num;
    in.int4num = int4num;

    FloatArray yp(y_input.size());
    FloatArray ts(checked_dimension(intnum));
    pbe::DerivativeOutputs out;
    out.yp = mutable_span(yp);
    out.ts = mutable_span(ts);

    thread_local pbe::DerivativeWorkspace work;
    pbe::compute_derivatives(in, out, work);
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
