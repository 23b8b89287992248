#include "study/progress_bar.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velmora::study {

std::string clock_text(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) return "--:--";
    const auto whole = static_cast<long long>(seconds + 0.5);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", whole / 3600, (whole / 60) % 60, whole % 60);
    return buf;
}

std::string progress_text(std::size_t done, std::size_t total, std::size_t done_here, double elapsed,
                          std::size_t width) {
    const double fraction = total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
    const auto filled = static_cast<std::size_t>(std::floor(std::min(fraction, 1.0) * static_cast<double>(width)));
    const std::string total_text = std::to_string(total);
    std::string count = std::to_string(done);
    if (count.size() < total_text.size()) count.insert(0, total_text.size() - count.size(), ' ');

    char tail[128];
    if (done_here > 0 && elapsed > 0) {
        const double rate = static_cast<double>(done_here) / elapsed;
        const double left = static_cast<double>(total > done ? total - done : 0) / rate;
        std::snprintf(tail, sizeof tail, "%s elapsed, %.2f sim/s, ETA %s", clock_text(elapsed).c_str(), rate,
                      clock_text(left).c_str());
    } else {
        std::snprintf(tail, sizeof tail, "%s elapsed, ? sim/s, ETA ?", clock_text(elapsed).c_str());
    }
    char percent[8];
    std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(std::floor(fraction * 100.0)));
    return count + "/" + total_text + " [" + std::string(filled, '#') + std::string(width - filled, '-') + "] " +
           percent + " " + tail;
}

}  // namespace velmora::study
