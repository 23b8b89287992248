// Mapping_Wrapper: the study settings as plain attributes. The constructor
// takes the settings of the study's table (cpp/study/study_parameters.cpp) in
// their order and with their defaults, stores what it is given (integers stay
// integers) and validates nothing; further keywords are collected in
// Velmora_kwargs. The configuration reads the attributes when a study starts.
#include <utility>
#include <variant>

#include "common/plain_class.hpp"
#include "parameter_sweep/study_binding.hpp"
#include "study/study_parameters.hpp"

namespace velmora::bind::sweep {

namespace {

py::object default_of(const study::StudySetting& setting) {
    return std::visit([](auto value) -> py::object { return py::cast(value); }, setting.default_value);
}

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
        py::arg_v(settings[I].name, default_of(settings[I]))...,
        "Stores the study settings; further keywords are collected in Velmora_kwargs and reach every reactor "
        "model of the study (and the classifier of the visualiser).");
}

// One dict per setting, in the constructor's order.
py::list study_setting_table() {
    py::list rows;
    for (const auto& setting : study::study_settings()) {
        const study::StudyParameter* parameter = study::find_study_parameter(setting.key);
        py::dict row;
        row["name"] = setting.name;
        row["default"] = default_of(setting);
        row["key"] = parameter ? py::object(py::str(std::string(setting.key))) : py::object(py::none());
        row["role"] = std::string(study::role_name(setting.role));
        row["unit"] = parameter ? std::string(parameter->unit) : std::string();
        row["meaning"] = std::string(setting.meaning);
        rows.append(row);
    }
    return rows;
}

}  // namespace

py::object register_mapping_wrapper(py::module_& m) {
    py::object cls = make_plain_class(m.attr("__name__"), "Mapping_Wrapper", "Mapping_Wrapper",
                                      "Unified wrapper for parametric study and visualization");
    add_constructor(cls, std::make_index_sequence<study::kStudySettingCount>());
    m.attr("Mapping_Wrapper") = cls;
    m.def("study_setting_table", &study_setting_table,
          "The settings of Mapping_Wrapper in the constructor's order: dicts with name, default, key (P, T, D, L or "
          "None), role (map, points, range_min, range_max, constant), unit and meaning.");
    return cls;
}

}  // namespace velmora::bind::sweep
