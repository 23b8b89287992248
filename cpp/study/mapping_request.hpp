// A map request names the two varied parameters as "Y&X" (first key the
// vertical axis, second the horizontal). Parsing checks the request against the
// available keys and fixes which keys are held constant.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::study {

struct StudyAxes {
    std::string y_key;
    std::string x_key;
    // The available keys that are not varied, in the order of the available
    // keys (a fixed order, so results files always have the same columns).
    std::vector<std::string> constant_keys;
};

// The keys are ASCII letters, so a request is compared upper-cased in ASCII.
std::string ascii_upper(std::string_view text);

// Splits at every "&" and upper-cases both parts (blanks are kept). Throws
// InvalidValue with the messages of a malformed request, an unknown key, or the
// same key twice.
StudyAxes parse_mapping_request(std::string_view request, const std::vector<std::string>& available);

// The keys in list notation, e.g. ['P', 'T', 'D', 'L'].
std::string quoted_key_list(const std::vector<std::string>& keys);

// The four lines that report a configuration; total_text is the requested total
// as the host prints it (it may differ from grid_size squared).
std::vector<std::string> configuration_lines(const StudyAxes& axes, std::size_t grid_size,
                                             std::string_view total_text);

}  // namespace velmora::study
