#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "server/gaze_model.h"
#include "server/sample_source.h"

namespace tyvarion::sim {
namespace {

bool blink(const tyapi::TYGazeSample& s) { return s.porX == tyapi::TYInvalidValue; }

// One minute of a 1000 Hz trace with the phase of every sample.
struct Trace {
    std::vector<tyapi::TYGazeSample> samples;
    std::vector<GazeModel::Phase> phases;
    std::vector<double> phaseDurations;
};

Trace record(const GazeModelConfig& config, int count) {
    GazeModel model(config);
    Trace trace;
    for (int i = 0; i < count; ++i) {
        trace.samples.push_back(model.next());
        trace.phases.push_back(model.phase());
        trace.phaseDurations.push_back(model.phaseDurationMs());
    }
    return trace;
}

TEST(GazeModel, LooksLikeFixationsSaccadesAndBlinks) {
    const GazeModelConfig config{1920, 1080, 1000, 4, 7};
    const Trace trace = record(config, 60000);

    int fixations = 0, saccades = 0, blinks = 0;
    for (std::size_t i = 0; i < trace.samples.size(); ++i) {
        const auto& s = trace.samples[i];
        const bool phaseStarts = i == 0 || trace.phases[i] != trace.phases[i - 1];
        switch (trace.phases[i]) {
        case GazeModel::Phase::Fixation:
            fixations += phaseStarts;
            EXPECT_GE(trace.phaseDurations[i], 150.0);
            EXPECT_LE(trace.phaseDurations[i], 400.0);
            break;
        case GazeModel::Phase::Saccade:
            saccades += phaseStarts;
            break;
        case GazeModel::Phase::Blink:
            blinks += phaseStarts;
            // Every gaze and pupil field carries the marker during a blink.
            for (double field : {s.porX, s.porY, s.porLeftX, s.porLeftY, s.porRightX, s.porRightY,
                                 s.pupilRadiusLeft, s.pupilRadiusRight})
                ASSERT_EQ(field, tyapi::TYInvalidValue) << "sample " << i;
            continue;
        }
        ASSERT_FALSE(blink(s)) << "sample " << i;
        EXPECT_GE(s.pupilRadiusLeft, 1.5);
        EXPECT_LE(s.pupilRadiusRight, 4.0);
        EXPECT_GE(s.pupilRadiusRight, 1.5);
        // Eyes a few pixels apart, the binocular point between them.
        EXPECT_NEAR(s.porRightX - s.porLeftX, 4.0, 12.0);
        EXPECT_DOUBLE_EQ(s.porX, (s.porLeftX + s.porRightX) / 2);
        EXPECT_GT(s.porX, -20.0);
        EXPECT_LT(s.porX, 1940.0);
        EXPECT_EQ(s.timestampMicroSec, 0);
    }
    // A minute holds about 200 fixations of 150-400 ms, a saccade or a blink after each.
    EXPECT_GT(fixations, 130);
    EXPECT_LT(fixations, 320);
    EXPECT_GT(saccades, fixations / 2);
    EXPECT_GT(blinks, 3);
}

TEST(GazeModel, FixationsHoldStillAndPupilsDriftSlowly) {
    const Trace trace = record(GazeModelConfig{1920, 1080, 1000, 4, 3}, 20000);
    for (std::size_t i = 1; i < trace.samples.size(); ++i) {
        const auto& a = trace.samples[i - 1];
        const auto& b = trace.samples[i];
        if (blink(a) || blink(b)) continue;
        if (trace.phases[i] == GazeModel::Phase::Fixation && trace.phases[i - 1] == GazeModel::Phase::Fixation) {
            EXPECT_LT(std::hypot(b.porX - a.porX, b.porY - a.porY), 15.0) << "sample " << i;
        }
        EXPECT_LT(std::fabs(b.pupilRadiusLeft - a.pupilRadiusLeft), 0.05) << "sample " << i;
    }
}

TEST(GazeModel, SeedReproducesTheTrace) {
    const GazeModelConfig config{800, 600, 250, -6, 99};
    const Trace first = record(config, 2000);
    const Trace second = record(config, 2000);
    ASSERT_EQ(0, std::memcmp(first.samples.data(), second.samples.data(),
                             first.samples.size() * sizeof(tyapi::TYGazeSample)));
    GazeModelConfig other = config;
    other.seed = 100;
    const Trace third = record(other, 2000);
    EXPECT_NE(0, std::memcmp(first.samples.data(), third.samples.data(),
                             first.samples.size() * sizeof(tyapi::TYGazeSample)));
    // A negative offset puts the left eye's point to the right.
    EXPECT_GT(first.samples[0].porLeftX, first.samples[0].porRightX);
}

TEST(GazeModel, ModelSourceCountsIndicesAndSpacesDueTimes) {
    auto source = makeModelSource(GazeModelConfig{1920, 1080, 3, 4, 1});
    EXPECT_TRUE(source->stampsLiveTime());
    const std::int64_t expectedDue[] = {0, 333333, 666666, 1000000, 1333333};
    for (int i = 0; i < 5; ++i) {
        const auto timed = source->next();
        ASSERT_TRUE(timed);
        EXPECT_EQ(timed->sample.index, i);
        EXPECT_EQ(timed->dueMicros, expectedDue[i]);
    }
}

TEST(GazeModel, EveryRateFromOneTo50000StepsThroughPhases) {
    for (double rate : {1.0, 7.0, 50000.0}) {
        GazeModel model(GazeModelConfig{1920, 1080, rate, 4, 5});
        for (int i = 0; i < 200; ++i) {
            const auto sample = model.next();
            if (!blink(sample)) {
                ASSERT_TRUE(std::isfinite(sample.porX)) << rate;
            }
        }
    }
}

}  // namespace
}  // namespace tyvarion::sim
