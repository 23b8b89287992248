#include "study/study_settings.hpp"

#include "common/errors.hpp"

namespace velmora::study {

namespace {

bool is_number(const JsonValue& v) {
    return std::holds_alternative<long long>(v.value) || std::holds_alternative<double>(v.value);
}

double number_of(const JsonValue& v) {
    if (const long long* n = std::get_if<long long>(&v.value)) return static_cast<double>(*n);
    return std::get<double>(v.value);
}

std::string joined(const std::string& path, const std::string& name) { return path.empty() ? name : path + "." + name; }

// The first difference below `path`, or "".
std::string difference(const JsonValue& there, const JsonValue& here, const std::string& path) {
    const auto shown = [](const JsonValue& v) { return json_line(v); };
    const auto differ = [&]() {
        return (path.empty() ? std::string("the settings") : path) + " is " + shown(there) + " there, " + shown(here) +
               " here";
    };
    if (is_number(there) && is_number(here)) {
        const double a = number_of(there), b = number_of(here);
        return a == b || (a != a && b != b) ? std::string() : differ();
    }
    if (there.value.index() != here.value.index()) return differ();
    if (const auto* members = std::get_if<JsonValue::Object>(&here.value)) {
        const auto& recorded = std::get<JsonValue::Object>(there.value);
        for (const auto& [name, value] : *members) {
            const JsonValue* match = nullptr;
            for (const auto& [other_name, other_value] : recorded)
                if (other_name == name) match = &other_value;
            if (!match) return joined(path, name) + " is missing there (" + shown(value) + " here)";
            if (std::string why = difference(*match, value, joined(path, name)); !why.empty()) return why;
        }
        for (const auto& [name, value] : recorded) {
            bool found = false;
            for (const auto& member : *members) found = found || member.first == name;
            if (!found) return joined(path, name) + " is " + shown(value) + " there, missing here";
        }
        return {};
    }
    if (const auto* items = std::get_if<JsonValue::Array>(&here.value)) {
        const auto& recorded = std::get<JsonValue::Array>(there.value);
        if (items->size() != recorded.size()) return differ();
        for (std::size_t k = 0; k < items->size(); ++k)
            if (!difference(recorded[k], (*items)[k], path).empty()) return differ();
        return {};
    }
    if (const bool* b = std::get_if<bool>(&here.value)) return *b == std::get<bool>(there.value) ? std::string() : differ();
    if (const auto* text = std::get_if<std::string>(&here.value))
        return *text == std::get<std::string>(there.value) ? std::string() : differ();
    return {};  // both null
}

}  // namespace

std::string settings_difference(const JsonValue& recorded, const JsonValue& current) {
    return difference(recorded, current, "");
}

std::string settings_file_name(std::string_view results_file_name) {
    const std::size_t slash = results_file_name.find_last_of('/');
    const std::size_t dot = results_file_name.find_last_of('.');
    const bool has_extension = dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash + 1);
    return std::string(results_file_name.substr(0, has_extension ? dot : results_file_name.size())) + ".json";
}

RecordedFileKind recorded_file_kind(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        throw InvalidValue("line 1: the file is empty (no study settings, no recorded runs)");
    return text[first] == '{' ? RecordedFileKind::checkpoint : RecordedFileKind::table;
}

void check_same_study(const std::optional<JsonValue>& recorded, const JsonValue& current, const std::string& place) {
    if (!recorded) return;
    const std::string difference = settings_difference(*recorded, current);
    if (!difference.empty()) throw InvalidValue(place + ": written by a study with other settings: " + difference);
}

namespace {

// Runs `read`, naming `file` in front of the ValueError it throws.
template <class Read>
auto naming_file(const std::string& file, Read read) {
    try {
        return read();
    } catch (const InvalidValue& e) {
        throw InvalidValue(file + ", " + e.what());
    }
}

}  // namespace

std::optional<RecordedRuns> recorded_checkpoint(const std::string& name, std::string_view text) {
    if (naming_file(name, [&] { return recorded_file_kind(text); }) != RecordedFileKind::checkpoint) return std::nullopt;
    CheckpointContents contents = naming_file(name, [&] { return read_checkpoint_text(text); });
    RecordedRuns runs;
    runs.settings = std::move(contents.settings);
    runs.settings_place = name + ", line " + std::to_string(contents.settings_line_number);
    runs.records = std::move(contents.records);
    for (const std::size_t line : contents.line_numbers) runs.places.push_back({name, "line " + std::to_string(line)});
    return runs;
}

RecordedRuns recorded_table(const std::string& name, std::vector<FlatRecord> rows,
                            const std::optional<std::string>& settings_text) {
    RecordedRuns runs;
    runs.settings_place = settings_file_name(name);
    if (settings_text)
        runs.settings = naming_file(runs.settings_place, [&] { return parse_json_document(*settings_text); });
    runs.records = std::move(rows);
    for (std::size_t row = 1; row <= runs.records.size(); ++row) runs.places.push_back({name, "row " + std::to_string(row)});
    return runs;
}

}  // namespace velmora::study
