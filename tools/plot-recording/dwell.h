#pragma once
// Fixation-like dwells in a gaze trace, by dispersion: a run of consecutive
// valid points lasting at least `minDurationMicros` whose horizontal plus
// vertical spread stays within `maxDispersionPx`. A missing point (a blink)
// ends a run. Pure.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "recording-reader/recording_reader.h"

namespace tyvarion::plot {

struct TimedPoint {
    std::int64_t timeMicros = 0;
    std::optional<tools::GazePoint> point;
};

struct Dwell {
    std::int64_t startMicros = 0;
    std::int64_t endMicros = 0;  // time of the last point in it
    double x = 0;                // centroid
    double y = 0;
    std::size_t points = 0;
};

struct DwellCriteria {
    double maxDispersionPx = 40;
    std::int64_t minDurationMicros = 100'000;
};

std::vector<Dwell> findDwells(std::span<const TimedPoint> trace, const DwellCriteria& criteria);

// The binocular point of a sample; where that is missing, the mean of the two
// eyes, or the one eye that has a value.
std::optional<tools::GazePoint> gazeOf(const tools::RecordedSample& sample);

}  // namespace tyvarion::plot
