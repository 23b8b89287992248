#include "fast_kernels/kernel_arrays.hpp"
#include "pbe/aggregation_classes.hpp"

namespace velmora::bind {
namespace {

py::tuple aggregation_classes_kernel(const FloatArray& x_input, std::int64_t isec, std::int64_t intnum) {
    const auto x = const_span(x_input, "x_input");
    const py::ssize_t n = checked_dimension(intnum);
    IndexArray jmin_out({n, n + 1}), jmax_out({n, n + 1});
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
