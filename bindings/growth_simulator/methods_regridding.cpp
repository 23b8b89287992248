// regrid(y): the moving-section regrid of a state vector.
#include "growth_simulator/model_binding.hpp"

namespace velmora::bind {

void register_regridding_methods(ModelClass& cls) {
    cls.def(
        "regrid",
        [](PyModel& self, const py::object& y) -> py::object {
            // A fixed grid (anything but exactly "Moving") leaves the argument as it is.
            if (self.regrid_condition != "Moving") return y;
            std::vector<double> state = real_vector(y, argument_name("regrid", "y"));
            self.regrid(state);
            return to_numpy(state);
        },
        py::arg("y"),
        "Regrids the state vector y: opens a section of fresh nuclei, shifts the others up and merges "
        "crowded sections. Updates the model's y and x and returns the regridded state "
        "(the argument itself, unchanged, unless regrid_condition is 'Moving').");
}

}  // namespace velmora::bind
