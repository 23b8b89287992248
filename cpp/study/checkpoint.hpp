// The study checkpoint: one run record per line, appended as soon as the run
// is known, so a study that is killed keeps every finished run.
//
// A line is a flat JSON object whose keys are the record's columns in their
// order. Numbers keep their kind: an integer is written without a decimal
// point, a float as the host's repr (always with '.' or an exponent), so a
// record read back writes the same results file. Non-finite floats use the
// NaN / Infinity / -Infinity spelling the host's json module reads.
#pragma once
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace velmora::study {

// One field of a run record: missing (None), bool, integer, float or text.
using CellValue = std::variant<std::monostate, bool, long long, double, std::string>;
using FlatRecord = std::vector<std::pair<std::string, CellValue>>;

// "parametric_study_" + map_requested + ".checkpoint.jsonl": one fixed name per
// map, beside the time-stamped results file.
std::string checkpoint_file_name(std::string_view map_requested);

// The record as one line of JSON, without the newline.
std::string checkpoint_line(const FlatRecord& record);

// The record of one line, or nullopt when the line is not a complete flat
// object (a torn write, or not a checkpoint line at all).
std::optional<FlatRecord> parse_checkpoint_line(std::string_view line);

// A JSON value of any shape, for documents beyond the flat checkpoint lines
// (a study's settings). Objects keep their members in order.
struct JsonValue {
    using Object = std::vector<std::pair<std::string, JsonValue>>;
    using Array = std::vector<JsonValue>;
    std::variant<std::monostate, bool, long long, double, std::string, Array, Object> value;
};

// The key of the checkpoint's first line, {"study_settings": {...}}: the
// settings of the study that wrote the file. Checkpoints written before
// studies recorded their settings start with a run record instead.
inline constexpr std::string_view kSettingsKey = "study_settings";

struct CheckpointContents {
    std::optional<JsonValue> settings;  // from the first line, when it holds them
    std::size_t settings_line_number = 0;
    std::vector<FlatRecord> records;
    std::vector<std::size_t> line_numbers;  // 1-based line of each record
    // Length of the text up to and including the last complete line; a torn
    // last line (killed mid-write) lies past it and is not a record.
    std::size_t complete_length = 0;
    bool torn_tail = false;
};

// Reads the lines of a checkpoint. Blank lines are skipped; a last line
// without its newline is a torn write and is dropped. Any complete line that
// does not parse throws ValueError "line N: ..." (with why, for a number
// beyond 64 bits).
CheckpointContents read_checkpoint_text(std::string_view text);


// The value as JSON text indented by `indent` blanks per level (the layout of
// the host's json.dump with indent), with the same number and text spellings
// as the checkpoint lines.
std::string json_document(const JsonValue& value, int indent = 2);

// The value as JSON on one line, items separated by ", " (as the checkpoint lines).
std::string json_line(const JsonValue& value);

// Reads a whole JSON document (json_document or json_line text). Throws
// ValueError "line N: not JSON" naming where reading stopped.
JsonValue parse_json_document(std::string_view text);

// The checkpoint's first line for these settings, without the newline.
std::string settings_line(const JsonValue& settings);

// Appends lines to a checkpoint, flushing each one to the operating system
// before returning, so a killed process loses at most the line being written.
class CheckpointWriter {
public:
    CheckpointWriter() = default;
    CheckpointWriter(const CheckpointWriter&) = delete;
    CheckpointWriter& operator=(const CheckpointWriter&) = delete;
    ~CheckpointWriter();

    // Starts the file anew with the study's settings line (when given) and the
    // given records (written to a temporary file and renamed over the old one,
    // so an existing checkpoint is never half rewritten). Returns false, with
    // the reason in error(), when it fails.
    bool start(const std::string& path, const std::vector<FlatRecord>& records, const JsonValue* settings = nullptr);
    bool is_open() const { return file_ != nullptr; }
    // Appends one record; false (and the file closed) when the write fails.
    bool append(const FlatRecord& record);
    void close();
    const std::string& error() const { return error_; }

private:
    std::FILE* file_ = nullptr;
    std::string error_;
};

}  // namespace velmora::study
