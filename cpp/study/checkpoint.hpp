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

struct CheckpointContents {
    std::vector<FlatRecord> records;
    std::vector<std::size_t> line_numbers;  // 1-based line of each record
    // Length of the text up to and including the last complete line; a torn
    // last line (killed mid-write) lies past it and is not a record.
    std::size_t complete_length = 0;
    bool torn_tail = false;
};

// Reads the lines of a checkpoint. Blank lines are skipped; a last line that
// does not parse (or has no newline yet) is a torn write and is dropped. Any
// other line that does not parse throws ValueError naming its line number.
CheckpointContents read_checkpoint_text(std::string_view text);

// Appends lines to a checkpoint, flushing each one to the operating system
// before returning, so a killed process loses at most the line being written.
class CheckpointWriter {
public:
    CheckpointWriter() = default;
    CheckpointWriter(const CheckpointWriter&) = delete;
    CheckpointWriter& operator=(const CheckpointWriter&) = delete;
    ~CheckpointWriter();

    // Starts the file anew with the given records (written to a temporary file
    // and renamed over the old one, so an existing checkpoint is never half
    // rewritten). Returns false, with the reason in error(), when it fails.
    bool start(const std::string& path, const std::vector<FlatRecord>& records);
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
