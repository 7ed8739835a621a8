#pragma once
// The live one-line display of a running trial. On a terminal the line is
// rewritten in place (a carriage return, padded to cover the previous text);
// into a file or a pipe it becomes a plain line now and then. The formatting
// is a pure function; the display only decides when and how to write.

#include <array>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "platform/com_types.h"

namespace tyvarion::host {

struct ProgressState {
    int trial = 0;  // from 1
    int trials = 0;
    double elapsedSeconds = 0;  // within the trial
    double eventsPerSecond = 0;
    std::optional<std::array<double, 2>> gaze;  // host display coordinates
    LONG status = 0;
};

// "trial 2/3   1.24 s   3000 events/s   gaze (-12.3, 45.6)   status 0x0F"
std::string formatProgress(const ProgressState& state);

class ProgressDisplay {
public:
    using Clock = std::chrono::steady_clock;

    ProgressDisplay(std::FILE* output, bool terminal);

    // Shows the state if it is time to: every 100 ms on a terminal, every
    // second otherwise.
    void update(const ProgressState& state, Clock::time_point now);
    // The trial's last state, left standing on a line of its own.
    void finish(const ProgressState& state);
    // Ends a line being rewritten, so that other output starts on a new one.
    void breakLine();

private:
    void show(const std::string& line, bool final);

    std::FILE* output_;
    bool terminal_;
    std::size_t shownLength_ = 0;  // of the line being rewritten, 0 if none
    std::optional<Clock::time_point> lastShown_;
};

}  // namespace tyvarion::host
