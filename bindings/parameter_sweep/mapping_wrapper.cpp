// Mapping_Wrapper: the study settings as plain attributes. The constructor
// stores what it is given (integers stay integers) and validates nothing; the
// configuration reads the attributes when a study starts.
#include <array>

#include "common/plain_class.hpp"
#include "parameter_sweep/study_binding.hpp"

namespace velmora::bind::sweep {

namespace {

// Constructor parameters in their order, with the defaults as host literals.
constexpr std::array<std::pair<const char*, const char*>, 14> kSettings{{
    {"map_requested", "'P&T'"},
    {"total_data_points", "100"},
    {"pressure_range_min", "0.001"},
    {"pressure_range_max", "0.01"},
    {"pressure_constant", "0.0045"},
    {"temperature_range_min", "800"},
    {"temperature_range_max", "1200"},
    {"temperature_constant", "873"},
    {"dp_initial_premade_range_min", "1e-8"},
    {"dp_initial_premade_range_max", "4e-8"},
    {"dp_initial_premade_constant", "1.5e-8"},
    {"reactor_length_range_min", "0.3"},
    {"reactor_length_range_max", "0.9"},
    {"reactor_length_range_constant", "0.6"},
}};

void store_settings(py::object self, py::tuple settings, py::dict velmora_kwargs) {
    for (std::size_t k = 0; k < kSettings.size(); ++k) py::setattr(self, kSettings[k].first, settings[k]);
    py::setattr(self, "Velmora_kwargs", velmora_kwargs);
    py::setattr(self, "last_generated_filename", py::none());
    py::setattr(self, "results", py::none());
}

}  // namespace

py::object register_mapping_wrapper(py::module_& m) {
    py::object name = m.attr("__name__");
    py::object cls = make_plain_class(name, "Mapping_Wrapper", "Mapping_Wrapper",
                                      "Unified wrapper for parametric study and visualization");
    std::string parameters, forwarded = "(";
    for (const auto& [setting, fallback] : kSettings) {
        parameters += std::string(setting) + "=" + fallback + ", ";
        forwarded += std::string(setting) + ", ";
    }
    parameters += "**Velmora_kwargs";
    forwarded += "), Velmora_kwargs";
    add_init(cls, name, "Mapping_Wrapper", parameters, forwarded,
             py::cpp_function(&store_settings, py::name("_initialise")),
             "Stores the study settings; further keywords are collected in Velmora_kwargs and reach every "
             "reactor model of the study (and the classifier of the visualiser).");
    m.attr("Mapping_Wrapper") = cls;
    return cls;
}

}  // namespace velmora::bind::sweep
