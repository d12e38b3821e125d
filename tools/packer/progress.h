// Progress of a long pack on stderr: a live line rewritten in place on a terminal, and otherwise a plain
// line when a stage starts and every few seconds, so that logs stay short.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>

namespace packer {

struct Progress {
    enum class Mode { Silent, Terminal, Lines };

    Mode mode = Mode::Silent;

    // Terminal mode when stderr is a terminal, Lines otherwise; Silent when quiet.
    static Progress forStderr(bool quiet);

    void stage(const std::string& label);
    void update(uint64_t done, uint64_t total);  // within the current stage
    void finish();                               // ends a live line so that later output starts clean

private:
    std::string label_;
    std::chrono::steady_clock::time_point started_{};
    std::chrono::steady_clock::time_point lastShown_{};
    bool lineOpen_ = false;
    void show(const std::string& text, bool force);
};

}  // namespace packer
