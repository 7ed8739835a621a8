#pragma once
// Fixation-like dwells in a gaze trace, by dispersion: a run of consecutive
// valid points lasting at least `minDurationMicros` whose horizontal plus
// vertical spread stays within `maxDispersionPx`. A missing point (a blink)
// ends a run. Pure.

#include <cstdint>
#include <deque>
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

// The same dwells as a whole trace gives, found as the points stream in;
// it holds only the points of the run being looked at.
class DwellFinder {
public:
    explicit DwellFinder(DwellCriteria criteria) : criteria_(criteria) {}
    void add(const TimedPoint& point);
    // Ends the last run; the dwells in time order.
    const std::vector<Dwell>& finish();

private:
    void settle(bool runEnded);

    DwellCriteria criteria_;
    std::deque<TimedPoint> run_;  // valid points from the current start on
    double minX_ = 0, maxX_ = 0, minY_ = 0, maxY_ = 0;  // of run_
    std::vector<Dwell> dwells_;
};

std::vector<Dwell> findDwells(std::span<const TimedPoint> trace, const DwellCriteria& criteria);

// The binocular point of a sample; where that is missing, the mean of the two
// eyes, or the one eye that has a value.
std::optional<tools::GazePoint> gazeOf(const tools::RecordedSample& sample);

}  // namespace tyvarion::plot
