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

// Recursive-descent reader of one flat JSON object; every method returns false
// at the first character that does not fit.
class LineParser {
public:
    explicit LineParser(std::string_view text) : s_(text) {}

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

std::optional<FlatRecord> parse_checkpoint_line(std::string_view line) {
    FlatRecord record;
    LineParser parser(line);
    if (!parser.object(record)) return std::nullopt;
    return record;
}

CheckpointContents read_checkpoint_text(std::string_view text) {
    CheckpointContents contents;
    std::size_t position = 0, line_number = 0;
    while (position < text.size()) {
        const std::size_t newline = text.find('\n', position);
        const bool complete = newline != std::string_view::npos;
        const std::size_t end = complete ? newline : text.size();
        const std::string_view line = text.substr(position, end - position);
        ++line_number;
        const bool last = !complete || end + 1 >= text.size();
        const bool blank = line.find_first_not_of(" \t\r") == std::string_view::npos;
        if (!blank) {
            auto record = complete ? parse_checkpoint_line(line) : std::nullopt;
            if (!record) {
                if (!last)
                    throw ValueError("line " + std::to_string(line_number) + " of the checkpoint is not a run record");
                contents.torn_tail = true;
                break;
            }
            contents.records.push_back(std::move(*record));
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

bool CheckpointWriter::start(const std::string& path, const std::vector<FlatRecord>& records) {
    close();
    error_.clear();
    const std::string temporary = path + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        error_ = std::strerror(errno);
        return false;
    }
    for (const auto& record : records) {
        const std::string line = checkpoint_line(record) + "\n";
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
