#include "parameter_sweep/study_settings.hpp"

#include "common/errors.hpp"
#include "study/study_settings.hpp"

namespace velmora::bind::sweep {

namespace {

// A host value as a settings value: numbers keep their kind, dicts and
// sequences nest, numpy values become plain ones, anything else its text.
study::JsonValue settings_value_of(py::handle value) {
    study::JsonValue out;
    if (value.is_none()) return out;
    if (PyBool_Check(value.ptr())) {
        out.value = value.cast<bool>();
    } else if (py::isinstance<py::str>(value)) {
        out.value = value.cast<std::string>();
    } else if (PyLong_Check(value.ptr())) {
        try {
            out.value = value.cast<long long>();
        } catch (py::cast_error&) {
            out.value = text_of(value);
        }
    } else if (PyFloat_Check(value.ptr())) {
        out.value = value.cast<double>();
    } else if (py::isinstance<py::dict>(value)) {
        study::JsonValue::Object members;
        for (auto item : py::reinterpret_borrow<py::dict>(value))
            members.emplace_back(text_of(item.first), settings_value_of(item.second));
        out.value = std::move(members);
    } else if (py::isinstance<py::list>(value) || py::isinstance<py::tuple>(value)) {
        study::JsonValue::Array items;
        for (py::handle item : value) items.push_back(settings_value_of(item));
        out.value = std::move(items);
    } else if (py::hasattr(value, "tolist") && py::hasattr(value, "dtype")) {
        return settings_value_of(value.attr("tolist")());  // numpy arrays and scalars
    } else {
        out.value = text_of(value);
    }
    return out;
}

study::JsonValue grid_ends(py::handle range) {
    study::JsonValue::Array ends;
    const std::size_t n = py::len(range);
    if (n > 0) {
        ends.push_back(settings_value_of(range[py::int_(0)]));
        ends.push_back(settings_value_of(range[py::int_(n - 1)]));
    }
    study::JsonValue out;
    out.value = std::move(ends);
    return out;
}

study::JsonValue object_of(study::JsonValue::Object members) {
    study::JsonValue out;
    out.value = std::move(members);
    return out;
}

study::JsonValue text_value(const std::string& text) {
    study::JsonValue out;
    out.value = text;
    return out;
}

}  // namespace

study::JsonValue study_settings_of(py::handle wrapper, py::handle config, const std::string& kind) {
    study::JsonValue::Object settings;
    settings.emplace_back("study", text_value(kind));
    settings.emplace_back("velmora_version", settings_value_of(py::module_::import("velmora").attr("__version__")));
    settings.emplace_back("map_requested", settings_value_of(wrapper.attr("map_requested")));
    settings.emplace_back("grid_size", settings_value_of(config.attr("grid_size")));

    study::JsonValue::Object ranges;
    ranges.emplace_back(text_of(config.attr("Y_parameter")), grid_ends(config.attr("Y_parameter_range")));
    ranges.emplace_back(text_of(config.attr("X_parameter")), grid_ends(config.attr("X_parameter_range")));
    settings.emplace_back("ranges", object_of(std::move(ranges)));

    study::JsonValue::Object constants;
    py::object constant_values = config.attr("constant_values");
    for (py::handle key : config.attr("constant_parameters"))
        constants.emplace_back(text_of(key), settings_value_of(constant_values[key]));
    settings.emplace_back("constants", object_of(std::move(constants)));

    // Every keyword of the model, so that a default the runs relied on is on
    // record too (the catalyst, say). Entries of Velmora_kwargs the model does
    // not read (the classifier's iterations, say) change no run and are left out.
    py::dict given = wrapper.attr("Velmora_kwargs");
    study::JsonValue::Object keywords;
    py::object table = py::module_::import("velmora.core.growth_simulator").attr("parameter_table")();
    for (py::handle row : table) {
        py::object keyword = row["keyword"];
        if (keyword.is_none()) continue;
        keywords.emplace_back(text_of(keyword), settings_value_of(given.contains(keyword) ? given[keyword] : row["default"]));
    }
    settings.emplace_back("model_keywords", object_of(std::move(keywords)));
    return object_of(std::move(settings));
}

void check_same_study(const std::optional<study::JsonValue>& recorded, const study::JsonValue& current,
                      const std::string& place) {
    if (!recorded) return;
    const std::string difference = study::settings_difference(*recorded, current);
    if (!difference.empty())
        throw ValueError(place + ": written by a study with other settings: " + difference);
}

std::optional<study::JsonValue> settings_beside(const std::string& results_name) {
    const std::string name = study::settings_file_name(results_name);
    py::object bytes = results_file().attr("read_if_present")(py::str(name));
    if (bytes.is_none()) return std::nullopt;
    try {
        return study::parse_json_document(bytes.cast<std::string>());
    } catch (const ValueError& e) {
        throw ValueError(name + ", " + e.what());
    }
}

bool write_settings_beside(const std::string& results_name, const study::JsonValue& settings) {
    try {
        results_file().attr("write_text")(py::str(study::settings_file_name(results_name)),
                                       py::str(study::json_document(settings) + "\n"));
        return true;
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_OSError)) throw;
        return false;
    }
}

}  // namespace velmora::bind::sweep
