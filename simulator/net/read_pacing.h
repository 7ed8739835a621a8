#pragma once
// When to read next, for a reader whose system makes a read that has to wait
// for its bytes much dearer than one that finds them there. Under Wine an
// overlapped read that waits goes through the Wine server several times (about
// 40 us of the reader's processor time); one that finds bytes waiting costs
// half that. The simulated server writes at most once a millisecond, so at
// 1,000 Hz and above its writes come in a steady beat of about a millisecond:
// the reader then pauses until a little under a millisecond after the last
// write came, and its next read usually finds the next write there. Nothing
// waits for the reader longer than that pause, and a slower or irregular
// stream is read as soon as it comes. Where the system cannot pause for under
// a millisecond (Windows with its usual 15.6 ms timer), pausing would delay
// every write: two pauses in a row that overshoot by more than a millisecond
// end pacing for good.

#include <chrono>

namespace tyvarion::sim::net {

class ReadPacing {
public:
    using Clock = std::chrono::steady_clock;
    // Writes that come at most this far apart are a steady beat.
    static constexpr std::chrono::microseconds kSteadyBeat{1500};
    // The pause ends this long after the last write came.
    static constexpr std::chrono::microseconds kPauseAfterArrival{950};
    // A pause that took this much longer than asked was not honoured.
    static constexpr std::chrono::microseconds kOvershoot{1000};
    static constexpr int kOvershootsToGiveUp = 2;

    // How long to pause, at `now`, before the next read (zero: read at once).
    Clock::duration pauseBefore(Clock::time_point now) const;
    // Bytes came at `now`.
    void arrived(Clock::time_point now);
    // A pause asked for `asked` took `took`.
    void paused(Clock::duration asked, Clock::duration took);
    bool enabled() const { return enabled_; }

private:
    bool enabled_ = true;
    bool steady_ = false;
    bool anyArrival_ = false;
    int overshootsInARow_ = 0;
    Clock::time_point lastArrival_{};
};

}  // namespace tyvarion::sim::net
