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
    py::setattr(self, "total_data_points", wrapper.attr("total_data_points"));
    const std::size_t grid_size = grid_size_of(self.attr("total_data_points"));
    py::setattr(self, "grid_size", py::int_(grid_size));

    py::dict definitions;
    for (const auto& p : study::study_parameters()) {
        const std::string key(p.key);
        const double lower = real_number(wrapper.attr(std::string(p.range_min).c_str()), std::string(p.range_min).c_str());
        const double upper = real_number(wrapper.attr(std::string(p.range_max).c_str()), std::string(p.range_max).c_str());
        py::dict entry;
        entry["name"] = py::str(std::string(p.name));
        entry["range"] = to_numpy(study::linspace(lower, upper, grid_size));
        entry["unit"] = py::str(std::string(p.unit));
        entry["constant_value"] = wrapper.attr(std::string(p.constant).c_str());
        entry["apply_method"] = self.attr(std::string(p.apply_method).c_str());
        definitions[py::str(key)] = entry;
    }
    py::setattr(self, "parameter_definitions", definitions);
    self.attr("parse_mapping")();
}

void parse_mapping(py::object self) {
    py::object request = self.attr("map_requested");
    if (!py::isinstance<py::str>(request))
        throw AttributeError("'" + text_of(py::type::handle_of(request).attr("__name__")) +
                             "' object has no attribute 'split'");
    py::object definitions = self.attr("parameter_definitions");
    std::vector<std::string> available;
    for (py::handle key : definitions) available.push_back(text_of(key));

    // Upper-casing as the host does it (Unicode-aware), so messages quote the same key.
    const study::CaseMapping host_upper = [](std::string_view part) {
        return py::str(std::string(part)).attr("upper")().cast<std::string>();
    };
    const study::StudyAxes axes = study::parse_mapping_request(request.cast<std::string>(), available, host_upper);

    py::setattr(self, "Y_parameter", py::str(axes.y_key));
    py::setattr(self, "X_parameter", py::str(axes.x_key));
    py::list constants;
    for (const auto& key : axes.constant_keys) constants.append(py::str(key));
    py::setattr(self, "constant_parameters", constants);
    py::setattr(self, "Y_parameter_range", definitions[py::str(axes.y_key)]["range"]);
    py::setattr(self, "X_parameter_range", definitions[py::str(axes.x_key)]["range"]);
    py::dict constant_values;
    for (const auto& key : axes.constant_keys)
        constant_values[py::str(key)] = definitions[py::str(key)]["constant_value"];
    py::setattr(self, "constant_values", constant_values);

    const auto grid_size = static_cast<std::size_t>(index_number(self.attr("grid_size")));
    print_lines(study::configuration_lines(axes, grid_size, text_of(self.attr("total_data_points"))));
}

void apply_parameter(py::object self, py::object model, py::object param_key, py::object value) {
    py::object definition = self.attr("parameter_definitions")[param_key];  // KeyError for an unknown key
    definition["apply_method"](model, value);
}

void apply_c2h2_concentration(py::object, py::object model, py::object value) {
    py::setattr(model, "wrapper_mapping_phi", value);
    const double fraction = real_number(value, "value");
    py::object composition = model.attr("gas_initial_composition");
    const double h2 = real_number(composition[py::str("H2")], "H2 mole fraction");
    const double n2 = real_number(composition[py::str("N2")], "N2 mole fraction");
    const OrderedMap<double> updated = study::c2h2_inlet_composition(fraction, h2, n2);
    py::dict out;
    for (const auto& [species, x] : updated) out[py::str(species)] = species == "C2H2" ? value : py::float_(x);
    py::setattr(model, "gas_initial_composition", out);
}

// The three attribute pairs: the study's record of the value, then the model setting.
template <const char* Record, const char* Setting>
void apply_setting(py::object, py::object model, py::object value) {
    py::setattr(model, Record, value);
    py::setattr(model, Setting, value);
}

constexpr char kTempRecord[] = "wrapper_mapping_temp", kTemp[] = "temp";
constexpr char kDpRecord[] = "wrapper_mapping_dp", kDp[] = "dp_initial_premade";
constexpr char kLengthRecord[] = "wrapper_mapping_l_reactor", kLength[] = "reactor_length";

}  // namespace

void register_study_config(py::object wrapper_cls) {
    py::object module_name = py::str(kModuleName);
    const std::string qualname = "Mapping_Wrapper.ParametricStudyConfig";
    py::object cls = make_plain_class(module_name, "ParametricStudyConfig", qualname,
                                      "Value grids, constant parameters and parameter setters of one study");
    add_init(cls, module_name, qualname, "wrapper_instance", "wrapper_instance",
             py::cpp_function(&build_config, py::name("_initialise")),
             "Builds the grids of the four study parameters from the wrapper and parses its map request.");
    add_method(cls, "parse_mapping", &parse_mapping,
               "Sets Y_parameter, X_parameter, constant_parameters, the two ranges and constant_values from "
               "map_requested and prints the configuration.");
    add_method(cls, "apply_parameter", &apply_parameter, py::arg("model"), py::arg("param_key"), py::arg("value"),
               "Sets parameter param_key to value on model through its apply method.");
    add_method(cls, "_apply_c2h2_concentration", &apply_c2h2_concentration, py::arg("model"), py::arg("value"),
               "Inlet C2H2 mole fraction; H2 and N2 keep their ratio and fill the rest, other species are dropped.");
    add_method(cls, "_apply_temperature", &apply_setting<kTempRecord, kTemp>, py::arg("model"), py::arg("value"),
               "Sets wrapper_mapping_temp and temp.");
    add_method(cls, "_apply_diameter", &apply_setting<kDpRecord, kDp>, py::arg("model"), py::arg("value"),
               "Sets wrapper_mapping_dp and dp_initial_premade.");
    add_method(cls, "_apply_reactor_length", &apply_setting<kLengthRecord, kLength>, py::arg("model"),
               py::arg("value"), "Sets wrapper_mapping_l_reactor and reactor_length.");
    py::setattr(wrapper_cls, "ParametricStudyConfig", cls);
}

}  // namespace velmora::bind::sweep
