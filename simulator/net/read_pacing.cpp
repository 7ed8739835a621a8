#include "net/read_pacing.h"

namespace tyvarion::sim::net {

ReadPacing::Clock::duration ReadPacing::pauseBefore(Clock::time_point now) const {
    if (!enabled_ || !steady_) return Clock::duration::zero();
    const Clock::time_point until = lastArrival_ + kPauseAfterArrival;
    return now < until ? until - now : Clock::duration::zero();
}

void ReadPacing::arrived(Clock::time_point now) {
    steady_ = anyArrival_ && now - lastArrival_ <= kSteadyBeat;
    anyArrival_ = true;
    lastArrival_ = now;
}

void ReadPacing::paused(Clock::duration asked, Clock::duration took) {
    if (took > asked + kOvershoot) {
        if (++overshootsInARow_ >= kOvershootsToGiveUp) enabled_ = false;
    } else {
        overshootsInARow_ = 0;
    }
}

}  // namespace tyvarion::sim::net
