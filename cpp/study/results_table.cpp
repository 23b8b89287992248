#include "study/results_table.hpp"

#include <charconv>
#include <cmath>

#include "common/errors.hpp"

namespace velmora::study {

std::vector<std::vector<std::string>> parse_csv(std::string_view text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false, row_has_content = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == '"') {
            quoted = true;
            row_has_content = true;
        } else if (c == ',') {
            row.push_back(std::move(field));
            field.clear();
            row_has_content = true;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            if (row_has_content || !field.empty()) {
                row.push_back(std::move(field));
                rows.push_back(std::move(row));
            }
            row.clear();
            field.clear();
            row_has_content = false;
        } else {
            field += c;
            row_has_content = true;
        }
    }
    if (quoted) throw ValueError("the results file ends inside a quoted field");
    if (row_has_content || !field.empty()) {
        row.push_back(std::move(field));
        rows.push_back(std::move(row));
    }
    return rows;
}

CellValue cell_from_csv(std::string_view column, std::string_view field) {
    if (column == "error_message" || column == "map_type") return std::string(field);
    if (field.empty()) return std::monostate{};
    if (field == "True") return true;
    if (field == "False") return false;
    const char* first = field.data();
    const char* last = first + field.size();
    long long n = 0;
    if (auto [end, ec] = std::from_chars(first, last, n); ec == std::errc() && end == last) return n;
    if (field == "nan") return std::nan("");
    if (field == "inf") return HUGE_VAL;
    if (field == "-inf") return -HUGE_VAL;
    double x = 0.0;
    if (auto [end, ec] = std::from_chars(first, last, x); ec == std::errc() && end == last) return x;
    return std::string(field);
}

std::vector<FlatRecord> records_from_csv(std::string_view text) {
    const auto rows = parse_csv(text);
    std::vector<FlatRecord> records;
    if (rows.empty()) return records;
    const auto& header = rows.front();
    for (std::size_t r = 1; r < rows.size(); ++r) {
        if (rows[r].size() != header.size())
            throw ValueError("row " + std::to_string(r + 1) + " of the results file has " +
                             std::to_string(rows[r].size()) + " fields, the header " + std::to_string(header.size()));
        FlatRecord record;
        for (std::size_t c = 0; c < header.size(); ++c)
            record.emplace_back(header[c], cell_from_csv(header[c], rows[r][c]));
        records.push_back(std::move(record));
    }
    return records;
}

}  // namespace velmora::study
