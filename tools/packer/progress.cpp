#include "tools/packer/progress.h"

#include <cstdio>
#include <unistd.h>

namespace packer {

namespace {
constexpr auto TERMINAL_INTERVAL = std::chrono::milliseconds(100);
constexpr auto LINES_INTERVAL = std::chrono::seconds(5);
}  // namespace

Progress Progress::forStderr(bool quiet) {
    Progress progress;
    progress.mode = quiet ? Mode::Silent : ::isatty(STDERR_FILENO) ? Mode::Terminal : Mode::Lines;
    return progress;
}

void Progress::show(const std::string& text, bool force) {
    auto now = std::chrono::steady_clock::now();
    auto interval = mode == Mode::Terminal ? std::chrono::steady_clock::duration(TERMINAL_INTERVAL)
                                           : std::chrono::steady_clock::duration(LINES_INTERVAL);
    if (!force && now - lastShown_ < interval) return;
    lastShown_ = now;
    if (started_ == std::chrono::steady_clock::time_point{}) started_ = now;
    double elapsed = std::chrono::duration<double>(now - started_).count();
    if (mode == Mode::Terminal) {
        std::fprintf(stderr, "\r\033[Kmoravel-pack: %5.2f s  %s", elapsed, text.c_str());
        lineOpen_ = true;
    } else {
        std::fprintf(stderr, "moravel-pack: %5.2f s  %s\n", elapsed, text.c_str());
    }
    std::fflush(stderr);
}

void Progress::stage(const std::string& label) {
    if (mode == Mode::Silent) return;
    label_ = label;
    show(label, true);
}

void Progress::update(uint64_t done, uint64_t total) {
    if (mode == Mode::Silent || total == 0) return;
    char percent[16];
    std::snprintf(percent, sizeof percent, " %3u%%", unsigned(done * 100 / total));
    show(label_ + percent, false);
}

void Progress::finish() {
    if (mode == Mode::Terminal && lineOpen_) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    }
    lineOpen_ = false;
}

}  // namespace packer
