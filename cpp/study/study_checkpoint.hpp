// A study's checkpoint with the lines it prints about it: started anew with
// the records a resume keeps and the study's settings, then one record
// appended as each run finishes. A write that fails is reported and the study
// goes on without the file.
#pragma once
#include <string>
#include <vector>

#include "study/checkpoint.hpp"

namespace velmora::study {

class StudyCheckpoint {
public:
    explicit StudyCheckpoint(std::string name) : name_(std::move(name)) {}
    const std::string& name() const { return name_; }

    // Starts the file; true when it was written.
    bool start(const std::vector<FlatRecord>& records, const JsonValue& settings);
    // "Checkpoint file: <name>", or "Checkpoint file not written (<name>): <why>"
    // after a failed start.
    std::string start_line() const;
    // Appends a finished run's record; the line to print when that fails, else "".
    std::string append(const FlatRecord& record);
    void close() { writer_.close(); }

private:
    std::string not_written() const;
    std::string name_;
    CheckpointWriter writer_;
    bool started_ = false;
};

}  // namespace velmora::study
