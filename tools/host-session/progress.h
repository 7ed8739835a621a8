#pragma once
// The live one-line display of a running trial. On a terminal the line is
// rewritten in place (a carriage return, padded to cover the previous text);
// into a file or a pipe it becomes a plain line now and then. The formatting
// is a pure function; the display only decides when and how to write.

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <optional>
#include <string>
#include <utility>

#include "platform/com_types.h"

namespace tyvarion::host {

struct ProgressState {
    int trial = 0;  // from 1
    int trials = 0;
    double elapsedSeconds = 0;  // within the trial
    std::optional<double> eventsPerSecond;  // none until a first interval was measured
    std::optional<std::array<double, 2>> gaze;  // host display coordinates
    LONG status = 0;
};

// "trial 2/3   1.24 s   3000 events/s   gaze (-12.3, 45.6)   status 0x0F";
// "- events/s" while the rate is not known yet.
std::string formatProgress(const ProgressState& state);

// Events per second over the last second of fetches, measured from the first
// fetch in that second to the last. The first fetch's own events arrived
// before it, over a time nobody measured (at a trial's start, everything
// queued since tracking began), so they are not counted. One object per trial.
class EventRate {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kWindow{1};
    // The shortest span a rate is given for.
    static constexpr std::chrono::milliseconds kFirstInterval{250};

    void add(Clock::time_point now, std::int64_t events);
    // None until kFirstInterval has passed since the first fetch.
    std::optional<double> perSecond() const;

private:
    std::deque<std::pair<Clock::time_point, std::int64_t>> fetches_;
    std::int64_t afterFirst_ = 0;  // events of every fetch in the window but its first
};

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
