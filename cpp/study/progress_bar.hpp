// The text of a study's progress bar: count, bar, percentage, elapsed time,
// rate and the estimated time left.
#pragma once
#include <cstddef>
#include <string>

namespace velmora::study {

// "h:mm:ss" for a duration in seconds ("--:--" for a negative or non-finite one).
std::string clock_text(double seconds);

// e.g. "  7/16 [############----------------]  44% 0:00:12 elapsed, 0.58 sim/s, ETA 0:00:16".
// `done` counts every finished point, `done_here` only those run since `elapsed`
// started (resumed points are not in the rate). Before the first run of this
// session the rate and ETA are shown as unknown.
std::string progress_text(std::size_t done, std::size_t total, std::size_t done_here, double elapsed,
                          std::size_t width = 30);

}  // namespace velmora::study
