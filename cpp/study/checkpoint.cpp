#include "study/checkpoint.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "common/errors.hpp"
#include "common/output.hpp"

namespace velmora::study {

namespace {

void append_json_string(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
                    out += buf;
                } else {
                    out += c;  // UTF-8 passes through unchanged
                }
        }
    }
    out += '"';
}

void append_json_float(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "NaN";
    } else if (std::isinf(value)) {
        out += value > 0 ? "Infinity" : "-Infinity";
    } else {
        out += py_repr(value);  // shortest round trip, always with '.' or an exponent
    }
}

void append_utf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Recursive-descent reader of one flat JSON object (a run record) or of any
// JSON value (the study settings); every method returns false at the first
// character that does not fit. A whole number beyond 64 bits is not cut or
// rounded: it fails, with the reason in problem().
class LineParser {
public:
    explicit LineParser(std::string_view text) : s_(text) {}

    const std::string& problem() const { return problem_; }
    // 1-based line of the text where reading stopped.
    std::size_t line() const {
        std::size_t n = 1;
        for (std::size_t k = 0; k < i_ && k < s_.size(); ++k) n += s_[k] == '\n';
        return n;
    }

    bool document(JsonValue& out) {
        skip_blanks();
        if (!value(out, 0)) return false;
        return at_end();
    }

    bool object(FlatRecord& record) {
        skip_blanks();
        if (!take('{')) return false;
        skip_blanks();
        if (take('}')) return at_end();
        while (true) {
            std::string key;
            CellValue value;
            skip_blanks();
            if (!string(key)) return false;
            skip_blanks();
            if (!take(':')) return false;
            skip_blanks();
            if (!cell(value)) return false;
            record.emplace_back(std::move(key), std::move(value));
            skip_blanks();
            if (take(',')) continue;
            if (take('}')) return at_end();
            return false;
        }
    }

private:
    std::string_view s_;
    std::size_t i_ = 0;
    std::string problem_;

    // Settings nest a few levels; a deeper document is not one of ours (and
    // must not exhaust the stack).
    static constexpr int kMaxDepth = 32;

    bool value(JsonValue& out, int depth) {
        if (depth > kMaxDepth) return false;
        if (take('{')) {
            JsonValue::Object members;
            skip_blanks();
            if (!take('}')) {
                while (true) {
                    std::string key;
                    JsonValue member;
                    skip_blanks();
                    if (!string(key)) return false;
                    skip_blanks();
                    if (!take(':')) return false;
                    skip_blanks();
                    if (!value(member, depth + 1)) return false;
                    members.emplace_back(std::move(key), std::move(member));
                    skip_blanks();
                    if (take(',')) continue;
                    if (take('}')) break;
                    return false;
                }
            }
            out.value = std::move(members);
            return true;
        }
        if (take('[')) {
            JsonValue::Array items;
            skip_blanks();
            if (!take(']')) {
                while (true) {
                    JsonValue item;
                    skip_blanks();
                    if (!value(item, depth + 1)) return false;
                    items.push_back(std::move(item));
                    skip_blanks();
                    if (take(',')) continue;
                    if (take(']')) break;
                    return false;
                }
            }
            out.value = std::move(items);
            return true;
        }
        CellValue cell_value;
        if (!cell(cell_value)) return false;
        std::visit([&](auto&& v) { out.value = v; }, cell_value);
        return true;
    }

    void skip_blanks() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n')) ++i_;
    }
    bool take(char c) {
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    bool word(std::string_view w) {
        if (s_.substr(i_, w.size()) != w) return false;
        i_ += w.size();
        return true;
    }
    bool at_end() {
        skip_blanks();
        return i_ == s_.size();
    }
    bool hex4(unsigned& code) {
        if (i_ + 4 > s_.size()) return false;
        code = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = s_[i_++];
            code <<= 4;
            if (c >= '0' && c <= '9') code |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f') code |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') code |= static_cast<unsigned>(c - 'A' + 10);
            else return false;
        }
        return true;
    }
    bool string(std::string& out) {
        if (!take('"')) return false;
        while (i_ < s_.size()) {
            const char c = s_[i_++];
            if (c == '"') return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i_ >= s_.size()) return false;
            const char e = s_[i_++];
            switch (e) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    unsigned code = 0;
                    if (!hex4(code)) return false;
                    if (code >= 0xD800 && code < 0xDC00 && word("\\u")) {
                        unsigned low = 0;
                        if (!hex4(low) || low < 0xDC00 || low >= 0xE000) return false;
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    }
                    append_utf8(out, code);
                    break;
                }
                default: return false;
            }
        }
        return false;  // unterminated: a torn line
    }
    bool number(CellValue& value) {
        const std::size_t start = i_;
        bool is_float = false;
        if (i_ < s_.size() && (s_[i_] == '-' || s_[i_] == '+')) ++i_;
        while (i_ < s_.size()) {
            const char c = s_[i_];
            if (c >= '0' && c <= '9') {
                ++i_;
            } else if (c == '.' || c == 'e' || c == 'E' || ((c == '-' || c == '+') && is_float)) {
                is_float = true;
                ++i_;
            } else {
                break;
            }
        }
        const char* first = s_.data() + start;
        const char* last = s_.data() + i_;
        if (first == last) return false;
        if (*first == '+') ++first;
        if (is_float) {
            double x = 0.0;
            const auto [end, ec] = std::from_chars(first, last, x);
            if (ec != std::errc() || end != last) return false;
            value = x;
        } else {
            long long n = 0;
            const auto [end, ec] = std::from_chars(first, last, n);
            if (ec == std::errc::result_out_of_range) {
                const std::size_t digits = static_cast<std::size_t>(last - first) - (*first == '-');
                problem_ = "the whole number " + std::string(first, std::min<std::size_t>(last - first, 12)) +
                           "... (" + std::to_string(digits) + " digits) is beyond the range of a record";
                return false;
            }
            if (ec != std::errc() || end != last) return false;
            value = n;
        }
        return true;
    }
    bool cell(CellValue& value) {
        if (i_ >= s_.size()) return false;
        const char c = s_[i_];
        if (c == '"') {
            std::string text;
            if (!string(text)) return false;
            value = std::move(text);
            return true;
        }
        if (word("null")) return value = std::monostate{}, true;
        if (word("true")) return value = true, true;
        if (word("false")) return value = false, true;
        if (word("NaN")) return value = std::nan(""), true;
        if (word("Infinity")) return value = HUGE_VAL, true;
        if (word("-Infinity")) return value = -HUGE_VAL, true;
        return number(value);
    }
};

}  // namespace

std::string checkpoint_file_name(std::string_view map_requested) {
    return "parametric_study_" + std::string(map_requested) + ".checkpoint.jsonl";
}

std::string checkpoint_line(const FlatRecord& record) {
    std::string out = "{";
    bool first = true;
    for (const auto& [key, value] : record) {
        if (!first) out += ", ";
        first = false;
        append_json_string(out, key);
        out += ": ";
        if (std::holds_alternative<std::monostate>(value)) out += "null";
        else if (const bool* b = std::get_if<bool>(&value)) out += *b ? "true" : "false";
        else if (const long long* n = std::get_if<long long>(&value)) out += std::to_string(*n);
        else if (const double* x = std::get_if<double>(&value)) append_json_float(out, *x);
        else append_json_string(out, std::get<std::string>(value));
    }
    out += "}";
    return out;
}

namespace {

void append_json(std::string& out, const JsonValue& node, int indent, int depth) {
    // indent < 0: everything on one line, items separated by ", "
    const auto newline = [&](int level) {
        if (indent < 0) return;
        out += '\n';
        out.append(static_cast<std::size_t>(indent * level), ' ');
    };
    const char* separator = indent < 0 ? ", " : ",";
    const auto& value = node.value;
    if (std::holds_alternative<std::monostate>(value)) out += "null";
    else if (const bool* b = std::get_if<bool>(&value)) out += *b ? "true" : "false";
    else if (const long long* n = std::get_if<long long>(&value)) out += std::to_string(*n);
    else if (const double* x = std::get_if<double>(&value)) append_json_float(out, *x);
    else if (const std::string* text = std::get_if<std::string>(&value)) append_json_string(out, *text);
    else if (const auto* items = std::get_if<JsonValue::Array>(&value)) {
        if (items->empty()) {
            out += "[]";
            return;
        }
        out += '[';
        for (std::size_t k = 0; k < items->size(); ++k) {
            if (k) out += separator;
            newline(depth + 1);
            append_json(out, (*items)[k], indent, depth + 1);
        }
        newline(depth);
        out += ']';
    } else {
        const auto& members = std::get<JsonValue::Object>(value);
        if (members.empty()) {
            out += "{}";
            return;
        }
        out += '{';
        for (std::size_t k = 0; k < members.size(); ++k) {
            if (k) out += separator;
            newline(depth + 1);
            append_json_string(out, members[k].first);
            out += ": ";
            append_json(out, members[k].second, indent, depth + 1);
        }
        newline(depth);
        out += '}';
    }
}

}  // namespace

std::string json_document(const JsonValue& value, int indent) {
    std::string out;
    append_json(out, value, indent, 0);
    return out;
}

std::optional<FlatRecord> parse_checkpoint_line(std::string_view line) {
    FlatRecord record;
    LineParser parser(line);
    if (!parser.object(record)) return std::nullopt;
    return record;
}

std::string json_line(const JsonValue& value) {
    std::string out;
    append_json(out, value, -1, 0);
    return out;
}

JsonValue parse_json_document(std::string_view text) {
    JsonValue value;
    LineParser parser(text);
    if (!parser.document(value))
        throw InvalidValue("line " + std::to_string(parser.line()) + ": not JSON" +
                         (parser.problem().empty() ? std::string() : " (" + parser.problem() + ")"));
    return value;
}

std::string settings_line(const JsonValue& settings) {
    JsonValue line;
    line.value = JsonValue::Object{{std::string(kSettingsKey), settings}};
    return json_line(line);
}

namespace {

// The settings of a line {"study_settings": {...}}, or nullopt for any other line.
std::optional<JsonValue> settings_of_line(std::string_view line) {
    JsonValue value;
    LineParser parser(line);
    if (!parser.document(value)) return std::nullopt;
    const auto* members = std::get_if<JsonValue::Object>(&value.value);
    if (!members || members->size() != 1 || members->front().first != kSettingsKey ||
        !std::holds_alternative<JsonValue::Object>(members->front().second.value))
        return std::nullopt;
    return members->front().second;
}

}  // namespace

CheckpointContents read_checkpoint_text(std::string_view text) {
    CheckpointContents contents;
    std::size_t position = 0, line_number = 0;
    bool first_line = true;
    while (position < text.size()) {
        const std::size_t newline = text.find('\n', position);
        const bool complete = newline != std::string_view::npos;
        const std::size_t end = complete ? newline : text.size();
        const std::string_view line = text.substr(position, end - position);
        ++line_number;
        const bool blank = line.find_first_not_of(" \t\r") == std::string_view::npos;
        if (!blank) {
            // Lines are written whole, newline last: only a last line without
            // its newline can be a write torn by a kill. A complete line that
            // does not read is refused, never skipped.
            if (!complete) {
                contents.torn_tail = true;
                break;
            }
            const std::string where = "line " + std::to_string(line_number) + ": ";
            if (first_line) {
                if (auto settings = settings_of_line(line)) {
                    contents.settings = std::move(*settings);
                    contents.settings_line_number = line_number;
                    first_line = false;
                    position = newline + 1;
                    contents.complete_length = position;
                    continue;
                }
            }
            first_line = false;
            FlatRecord record;
            LineParser parser(line);
            if (!parser.object(record)) {
                if (settings_of_line(line)) throw InvalidValue(where + "study settings belong on the first line, not here");
                throw InvalidValue(where + "not a run record" +
                                 (parser.problem().empty() ? std::string() : ": " + parser.problem()));
            }
            contents.records.push_back(std::move(record));
            contents.line_numbers.push_back(line_number);
        }
        if (!complete) break;
        position = newline + 1;
        contents.complete_length = position;
    }
    return contents;
}

CheckpointWriter::~CheckpointWriter() { close(); }

void CheckpointWriter::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

bool CheckpointWriter::start(const std::string& path, const std::vector<FlatRecord>& records,
                             const JsonValue* settings) {
    close();
    error_.clear();
    const std::string temporary = path + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        error_ = std::strerror(errno);
        return false;
    }
    std::vector<std::string> lines;
    if (settings) lines.push_back(settings_line(*settings));
    for (const auto& record : records) lines.push_back(checkpoint_line(record));
    for (const auto& text : lines) {
        const std::string line = text + "\n";
        if (std::fwrite(line.data(), 1, line.size(), file) != line.size()) {
            error_ = std::strerror(errno);
            std::fclose(file);
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::fflush(file) != 0) {
        error_ = std::strerror(errno);
        std::fclose(file);
        std::remove(temporary.c_str());
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        error_ = ec.message();
        std::fclose(file);
        std::remove(temporary.c_str());
        return false;
    }
    file_ = file;  // the open handle now names the renamed file; appends go there
    return true;
}

bool CheckpointWriter::append(const FlatRecord& record) {
    if (!file_) return false;
    const std::string line = checkpoint_line(record) + "\n";
    if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fflush(file_) != 0) {
        error_ = std::strerror(errno);
        close();
        return false;
    }
    return true;
}

}  // namespace velmora::study
