// solve(): the whole run in C++; Python sees the returned arrays and the
// attributes and histories left on the model.
#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

void register_driver_methods(ModelClass& cls) {
    cls.def(
        "solve",
        [](PyModel& self, double rtol, double atol) {
            const auto result = self.solve(rtol, atol);
            // The run kept whatever state its failed steps reached; say so once per run.
            const std::string failures = self.integration_failure_summary();
            if (!failures.empty() && PyErr_WarnEx(PyExc_RuntimeWarning, failures.c_str(), 1) != 0)
                throw py::error_already_set();
            const std::size_t steps = result.time_points.size();
            py::array_t<double> time_points = to_numpy(result.time_points);
            if (steps == 0) return py::make_tuple(time_points, py::array_t<double>(0));
            return py::make_tuple(time_points, matrix_copy(result.solutions, steps, result.width));
        },
        py::arg("rtol") = 1e-6, py::arg("atol") = 1e-25,
        "Run the reactor from inlet to outlet. Returns (time_points, solutions): the end position of\n"
        "every completed outer step (m) and the bounded state vector at each, shape (steps, 4n+1).\n"
        "Steps whose integration failed are listed in integration_failures, with one RuntimeWarning.");
}

}  // namespace velmora::bind
