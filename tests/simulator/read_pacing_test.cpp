// The reader's pacing to a steady beat of writes: when it pauses, for how long,
// and that it gives up where pauses are not honoured.
#include <gtest/gtest.h>

#include "net/read_pacing.h"

namespace {

using tyvarion::sim::net::ReadPacing;
using namespace std::chrono_literals;
using Clock = ReadPacing::Clock;

const Clock::time_point t0 = Clock::time_point{} + 10s;

TEST(ReadPacing, PausesOnlyInASteadyBeatAndNeverPastTheLastArrivalPlus950us) {
    ReadPacing pacing;
    EXPECT_EQ(Clock::duration::zero(), pacing.pauseBefore(t0));
    pacing.arrived(t0);
    // One arrival is no beat yet.
    EXPECT_EQ(Clock::duration::zero(), pacing.pauseBefore(t0 + 10us));

    pacing.arrived(t0 + 1ms);
    EXPECT_EQ(Clock::duration(950us), pacing.pauseBefore(t0 + 1ms));
    EXPECT_EQ(Clock::duration(550us), pacing.pauseBefore(t0 + 1ms + 400us));
    EXPECT_EQ(Clock::duration::zero(), pacing.pauseBefore(t0 + 1ms + 950us));
    EXPECT_EQ(Clock::duration::zero(), pacing.pauseBefore(t0 + 3ms));

    // 1.5 ms apart is still a beat; a little more is not, and reading goes back
    // to at once until the next gap of a beat.
    pacing.arrived(t0 + 2500us);
    EXPECT_EQ(Clock::duration(950us), pacing.pauseBefore(t0 + 2500us));
    pacing.arrived(t0 + 4000us + 1ns);
    EXPECT_EQ(Clock::duration::zero(), pacing.pauseBefore(t0 + 4000us + 2ns));
    pacing.arrived(t0 + 5ms);
    EXPECT_EQ(Clock::duration(950us), pacing.pauseBefore(t0 + 5ms));
    // A write of 500 Hz, 2 ms after the last: not paced.
    pacing.arrived(t0 + 7ms);
    EXPECT_EQ(Clock::duration::zero(), pacing.pauseBefore(t0 + 7ms));
}

TEST(ReadPacing, TwoPausesInARowOvershotByOverAMillisecondEndPacingForGood) {
    ReadPacing pacing;
    pacing.arrived(t0);
    pacing.arrived(t0 + 1ms);
    ASSERT_EQ(Clock::duration(950us), pacing.pauseBefore(t0 + 1ms));

    // Overshoots one at a time, each followed by an honoured pause (exactly a
    // millisecond late still counts as honoured), never end it.
    for (int i = 0; i < 3; ++i) {
        pacing.paused(950us, 950us + 1ms + 1ns);
        pacing.paused(950us, 950us + 1ms);
        EXPECT_TRUE(pacing.enabled());
    }
    // As with Windows' 15.6 ms timer.
    pacing.paused(950us, 15600us);
    EXPECT_TRUE(pacing.enabled());
    pacing.paused(950us, 15600us);
    EXPECT_FALSE(pacing.enabled());
    pacing.arrived(t0 + 2ms);
    pacing.arrived(t0 + 3ms);
    EXPECT_EQ(Clock::duration::zero(), pacing.pauseBefore(t0 + 3ms));
    pacing.paused(950us, 950us);
    EXPECT_FALSE(pacing.enabled());
}

}  // namespace
