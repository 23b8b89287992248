#include "study/study_checkpoint.hpp"

namespace velmora::study {

bool StudyCheckpoint::start(const std::vector<FlatRecord>& records, const JsonValue& settings) {
    started_ = writer_.start(name_, records, &settings);
    return started_;
}

std::string StudyCheckpoint::not_written() const {
    return "Checkpoint file not written (" + name_ + "): " + writer_.error();
}

std::string StudyCheckpoint::start_line() const { return started_ ? "Checkpoint file: " + name_ : not_written(); }

std::string StudyCheckpoint::append(const FlatRecord& record) {
    if (!writer_.is_open() || writer_.append(record)) return {};
    return not_written();
}

}  // namespace velmora::study
