// Mapping_Wrapper: the study settings as plain attributes. The constructor
// takes the settings of the study's table (cpp/study/study_parameters.cpp) in
// their order and with their defaults, stores what it is given (integers stay
// integers) and validates nothing; further keywords are collected in
// Velmora_kwargs. The configuration reads the attributes when a study starts.
#include <utility>

#include "common/plain_class.hpp"
#include "parameter_sweep/study_binding.hpp"
#include "study/study_parameters.hpp"

namespace velmora::bind::sweep {

namespace {

template <std::size_t>
using SettingValue = py::object;

// __init__(self, <one parameter per setting, with its default>, **Velmora_kwargs).
template <std::size_t... I>
void add_constructor(py::object cls, std::index_sequence<I...>) {
    const auto& settings = study::study_settings();
    add_init(
        cls, "Mapping_Wrapper",
        [](py::object self, SettingValue<I>... values, py::kwargs velmora_kwargs) {
            (py::setattr(self, study::study_settings()[I].name, values), ...);
            py::setattr(self, "Velmora_kwargs", velmora_kwargs);
            py::setattr(self, "last_generated_filename", py::none());
            py::setattr(self, "results", py::none());
        },
        py::arg_v(settings[I].name, host_value(study::default_of(settings[I])))...,
        "Stores the study settings; further keywords are collected in Velmora_kwargs and reach every reactor "
        "model of the study (and the classifier of the visualiser).");
}

}  // namespace

py::object register_mapping_wrapper(py::module_& m) {
    py::object cls = make_plain_class(py::str(kModuleName), "Mapping_Wrapper", "Mapping_Wrapper",
                                      "Unified wrapper for parametric study and visualization");
    add_constructor(cls, std::make_index_sequence<study::kStudySettingCount>());
    m.attr("Mapping_Wrapper") = cls;
    m.def("study_setting_table", [] { return host_value(study::study_setting_rows()); },
          "The settings of Mapping_Wrapper in the constructor's order: dicts with name, default, key (P, T, D, L or "
          "None), role (map, points, range_min, range_max, constant), unit and meaning.");
    return cls;
}

}  // namespace velmora::bind::sweep
