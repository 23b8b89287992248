// The module's fixed study (what running it as a program does): its settings
// are the core's (study::fixed_study_settings); running it, writing the
// contour map beside the results file and the output folder are the private
// module _fixed_study's calls.
#include "parameter_sweep/study_binding.hpp"
#include "study/study_parameters.hpp"

namespace velmora::bind::sweep {

void register_main_study(py::module_& m) {
    m.def(
        "main",
        [](py::object output_dir) {
            return module_global("_fixed_study").attr("main")(py::module_::import(kModuleName),
                                                             host_value(study::fixed_study_settings()), output_dir);
        },
        py::arg("output_dir") = py::none(),
        "Runs the module's fixed P&T study (2 x 2 grid, Puretzky surface kinetics) in output_dir (default: the "
        "current directory): results CSV, then the contour map shown and written beside it as PNG. Returns the "
        "Mapping_Wrapper.");
}

}  // namespace velmora::bind::sweep
