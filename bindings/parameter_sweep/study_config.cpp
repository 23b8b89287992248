// Mapping_Wrapper.ParametricStudyConfig: the value grids, the parameter table
// with the methods that set each parameter on a model, and the parsed map
// request. Grid and parsing rules are the core's (study/); this file moves
// them in and out of host objects.
#include <string>
#include <vector>

#include "common/errors.hpp"
#include "common/plain_class.hpp"
#include "parameter_sweep/study_binding.hpp"
#include "study/inlet_composition.hpp"
#include "study/mapping_request.hpp"
#include "study/study_parameters.hpp"

namespace velmora::bind::sweep {

namespace {

std::size_t grid_size_of(py::handle total_data_points) {
    return study::grid_size_for(real_number(total_data_points, "total_data_points"));
}

void build_config(py::object self, py::object wrapper) {
    py::setattr(self, "wrapper_instance", wrapper);
    py::setattr(self, "map_requested", wrapper.attr("map_requested"));
    py::object total_data_points = wrapper.attr("total_data_points");
    py::setattr(self, "total_data_points", total_data_points);
    const std::size_t grid_size = grid_size_of(total_data_points);
    py::setattr(self, "grid_size", py::int_(grid_size));

    const auto setting = [&](std::string_view key, study::SettingRole role) {
        const char* name = study::setting_of(key, role).name;
        return std::pair<const char*, py::object>(name, wrapper.attr(name));
    };
    py::dict definitions;
    for (const auto& p : study::study_parameters()) {
        const auto [min_name, min_value] = setting(p.key, study::SettingRole::RangeMin);
        const auto [max_name, max_value] = setting(p.key, study::SettingRole::RangeMax);
        py::dict entry;
        entry["name"] = py::str(std::string(p.name));
        entry["range"] = to_numpy(study::linspace(real_number(min_value, min_name), real_number(max_value, max_name),
                                                  grid_size));
        entry["unit"] = py::str(std::string(p.unit));
        entry["constant_value"] = setting(p.key, study::SettingRole::Constant).second;
        entry["apply_method"] = self.attr(std::string(p.apply_method).c_str());
        definitions[py::str(std::string(p.key))] = entry;
    }
    py::setattr(self, "parameter_definitions", definitions);
    self.attr("parse_mapping")();
}

void parse_mapping(py::object self) {
    py::object request = self.attr("map_requested");
    if (!py::isinstance<py::str>(request))
        throw py::type_error("map_requested must be a text such as 'P&T', got " + python_type_name(request));
    py::object definitions = self.attr("parameter_definitions");
    std::vector<std::string> available;
    for (py::handle key : definitions) available.push_back(text_of(key));

    const study::StudyAxes axes = study::parse_mapping_request(request.cast<std::string>(), available);

    py::setattr(self, "Y_parameter", py::str(axes.y_key));
    py::setattr(self, "X_parameter", py::str(axes.x_key));
    py::setattr(self, "constant_parameters", py::cast(axes.constant_keys));
    py::setattr(self, "Y_parameter_range", definitions[py::str(axes.y_key)]["range"]);
    py::setattr(self, "X_parameter_range", definitions[py::str(axes.x_key)]["range"]);
    py::dict constant_values;
    for (const auto& key : axes.constant_keys)
        constant_values[py::str(key)] = definitions[py::str(key)]["constant_value"];
    py::setattr(self, "constant_values", constant_values);

    const auto grid_size = static_cast<std::size_t>(index_number(self.attr("grid_size")));
    print_lines(study::configuration_lines(axes, grid_size, text_of(self.attr("total_data_points"))));
}

// The map request checked as a study checks it, for callers that only want
// the check (the command line's --map): (Y key, X key, constant keys).
py::tuple parse_map_request(const std::string& request) {
    std::vector<std::string> keys;
    for (const auto& p : study::study_parameters()) keys.emplace_back(p.key);
    const study::StudyAxes axes = study::parse_mapping_request(request, keys);
    return py::make_tuple(axes.y_key, axes.x_key, axes.constant_keys);
}

void apply_parameter(py::object self, py::object model, py::object param_key, py::object value) {
    py::object definition = self.attr("parameter_definitions")[param_key];  // KeyError for an unknown key
    definition["apply_method"](model, value);
}

// The inlet composition with the C2H2 mole fraction `value` (kept as given).
void set_c2h2_fraction(py::handle model, py::handle value) {
    const double fraction = real_number(value, "value");
    py::object composition = model.attr("gas_initial_composition");
    const double h2 = real_number(composition[py::str("H2")], "H2 mole fraction");
    const double n2 = real_number(composition[py::str("N2")], "N2 mole fraction");
    const OrderedMap<double> updated = study::c2h2_inlet_composition(fraction, h2, n2);
    py::dict out;
    for (const auto& [species, x] : updated)
        out[py::str(species)] = species == "C2H2" ? py::reinterpret_borrow<py::object>(value) : py::float_(x);
    py::setattr(model, "gas_initial_composition", out);
}

void apply_value(const study::StudyParameter& parameter, py::handle model, py::handle value) {
    py::setattr(model, parameter.record_attribute, value);
    if (parameter.model_attribute) py::setattr(model, parameter.model_attribute, value);
    else set_c2h2_fraction(model, value);
}

}  // namespace

void apply_study_value(py::handle model, const std::string& key, py::handle value) {
    const study::StudyParameter* parameter = study::find_study_parameter(key);
    if (!parameter) throw MissingKey(key);
    apply_value(*parameter, model, value);
}

void register_study_config(py::module_& m, py::object wrapper_cls) {
    py::object cls = make_plain_class(py::str(kModuleName), "ParametricStudyConfig", "Mapping_Wrapper.ParametricStudyConfig",
                                      "Value grids, constant parameters and parameter setters of one study");
    add_init(cls, "ParametricStudyConfig", &build_config, py::arg("wrapper_instance"),
             "Builds the grids of the four study parameters from the wrapper and parses its map request.");
    add_method(cls, "parse_mapping", &parse_mapping,
               "Sets Y_parameter, X_parameter, constant_parameters, the two ranges and constant_values from "
               "map_requested and prints the configuration.");
    add_method(cls, "apply_parameter", &apply_parameter, py::arg("model"), py::arg("param_key"), py::arg("value"),
               "Sets parameter param_key to value on model through its apply method.");
    for (const auto& p : study::study_parameters()) {
        add_method(
            cls, std::string(p.apply_method).c_str(),
            [parameter = &p](py::object, py::object model, py::object value) { apply_value(*parameter, model, value); },
            py::arg("model"), py::arg("value"), ("Sets " + std::string(p.name) + " on model.").c_str());
    }
    py::setattr(wrapper_cls, "ParametricStudyConfig", cls);
    m.def("_parse_map_request", &parse_map_request, py::arg("map_requested"),
          "(Y key, X key, constant keys) of a map request; ValueError with the study's messages when it is bad.");
}

}  // namespace velmora::bind::sweep
