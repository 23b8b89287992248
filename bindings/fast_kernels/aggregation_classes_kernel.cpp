#include "fast_kernels/kernel_arrays.hpp"
#include "pbe/aggregation_classes.hpp"

namespace velmora::bind {
namespace {

py::tuple aggregation_classes_kernel(const py::object& x_obj, const py::object& isec_obj,
                                     const py::object& intnum_obj) {
    KernelArguments args("recalculate_aggregation_classes_kernel");
    const auto x = args.vector(x_obj, "x_input");
    const std::int64_t isec = args.integer(isec_obj, "isec");
    const auto n = static_cast<py::ssize_t>(args.count(intnum_obj, "intnum"));
    IntegerArray jmin_out({n, n + 1}), jmax_out({n, n + 1});
    pbe::AggregationClassTables tables{
        {std::span<std::int64_t>(jmin_out.mutable_data(), static_cast<std::size_t>(jmin_out.size())), n, n + 1},
        {std::span<std::int64_t>(jmax_out.mutable_data(), static_cast<std::size_t>(jmax_out.size())), n, n + 1}};
    pbe::compute_aggregation_classes(x, isec, tables);
    return py::make_tuple(jmin_out, jmax_out);
}

}  // namespace

void register_aggregation_classes_kernel(py::module_& m) {
    m.def("recalculate_aggregation_classes_kernel", &aggregation_classes_kernel, py::arg("x_input"),
          py::arg("isec"), py::arg("intnum"),
          "Aggregation-class tables (jmin_out, jmax_out), each of shape (intnum, intnum + 1).");
}

}  // namespace velmora::bind
