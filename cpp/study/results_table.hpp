// Reading a study's results file back into run records, for resuming a study
// from its CSV. The file is the one pandas writes (comma separated, minimal
// quoting with doubled quotes, fields may span lines inside quotes).
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "study/checkpoint.hpp"

namespace velmora::study {

// The rows of a CSV text, header first. Throws ValueError for an unterminated
// quoted field.
std::vector<std::vector<std::string>> parse_csv(std::string_view text);

// The value a results-file field stood for. "error_message" and "map_type" are
// always text; elsewhere an empty field is None, an integer literal an int, a
// float literal (with '.', an exponent, nan or inf) a float, anything else text.
CellValue cell_from_csv(std::string_view column, std::string_view field);

// Every data row as a record keyed by the header. Throws ValueError when a row
// has a different number of fields than the header.
std::vector<FlatRecord> records_from_csv(std::string_view text);

}  // namespace velmora::study
