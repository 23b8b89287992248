#include "study/mapping_request.hpp"

#include <algorithm>

#include "common/errors.hpp"

namespace velmora::study {

std::string ascii_upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

namespace {

std::vector<std::string> split_at_ampersand(std::string_view text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t pos = text.find('&', start);
        if (pos == std::string_view::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, pos - start));
        start = pos + 1;
    }
}

bool contains(const std::vector<std::string>& items, const std::string& key) {
    return std::find(items.begin(), items.end(), key) != items.end();
}

}  // namespace

StudyAxes parse_mapping_request(std::string_view request, const std::vector<std::string>& available) {
    const std::vector<std::string> parts = split_at_ampersand(request);
    if (parts.size() != 2)
        throw InvalidValue("Invalid map_requested format: " + std::string(request) + ". Expected format: 'X&Y'");

    StudyAxes axes;
    axes.y_key = ascii_upper(parts[0]);
    axes.x_key = ascii_upper(parts[1]);
    for (const std::string* key : {&axes.y_key, &axes.x_key})
        if (!contains(available, *key))
            throw InvalidValue("Unknown parameter '" + *key + "'. Available: " + quoted_key_list(available));
    if (axes.y_key == axes.x_key) throw InvalidValue("Cannot vary the same parameter twice: " + axes.y_key);

    for (const auto& key : available)
        if (key != axes.y_key && key != axes.x_key && !contains(axes.constant_keys, key))
            axes.constant_keys.push_back(key);
    return axes;
}

std::string quoted_key_list(const std::vector<std::string>& keys) {
    std::string out = "[";
    for (std::size_t k = 0; k < keys.size(); ++k) out += (k > 0 ? ", '" : "'") + keys[k] + "'";
    return out + "]";
}

std::vector<std::string> configuration_lines(const StudyAxes& axes, std::size_t grid_size,
                                             std::string_view total_text) {
    const std::string n = std::to_string(grid_size);
    return {
        "Parametric Study Configuration:",
        "  Varying parameters: " + axes.y_key + " & " + axes.x_key,
        "  Constant parameters: " + quoted_key_list(axes.constant_keys),
        "  Grid size: " + n + " x " + n + " = " + std::string(total_text) + " simulations",
    };
}

}  // namespace velmora::study
