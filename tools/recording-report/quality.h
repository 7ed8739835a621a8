#pragma once
// The data-quality figures of a stretch of samples (a whole recording or one
// trial), gathered one sample at a time:
// - timing: duration, effective rate (n - 1) / (last - first), the intervals
//   between time stamps, gaps in the index and intervals over 1.5 times the
//   median;
// - loss per eye and for the binocular point: the share of sample lines
//   without a valid point;
// - precision per eye and binocular, RMS sample-to-sample and STD, each in
//   windows of a fixed length and reported as the median over windows, so
//   that saccades and blinks do not dominate. RMS-S2S uses pairs of valid
//   samples on consecutive lines (index step 1) within a window; STD is the
//   root mean square distance from the window's mean point, sqrt(var(x) +
//   var(y)) with the variance of the population. In degrees both use the
//   visual angle between the points instead of their distance.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "recording-reader/recording_reader.h"
#include "recording-report/geometry.h"
#include "recording-report/intervals.h"

namespace tyvarion::tools {

struct Precision {
    std::size_t s2sWindows = 0;  // windows with at least one pair
    std::size_t stdWindows = 0;  // windows with at least two valid samples
    std::optional<double> rmsS2sPx;
    std::optional<double> stdPx;
    std::optional<double> rmsS2sDeg;
    std::optional<double> stdDeg;
};

struct SignalQuality {
    std::uint64_t lost = 0;  // sample lines without a valid point
    std::optional<double> lossShare;
    Precision precision;
};

struct IndexGaps {
    std::uint64_t count = 0;
    std::int64_t missing = 0;
    std::int64_t longest = 0;  // samples
};

struct QualityFigures {
    std::uint64_t sampleLines = 0;
    std::optional<std::int64_t> firstMicros;
    std::optional<std::int64_t> lastMicros;
    double durationSeconds = 0;
    std::optional<double> effectiveRateHz;
    std::optional<double> intervalMedianMicros;
    std::optional<std::int64_t> interval99Micros;
    std::optional<std::int64_t> intervalMaxMicros;
    IndexGaps indexGaps;
    IntervalGaps intervalGaps;
    SignalQuality left;
    SignalQuality right;
    SignalQuality binocular;
};

class QualityAccumulator {
public:
    QualityAccumulator(const ScreenGeometry& screen, std::int64_t windowMicros);

    void add(const RecordedSample& sample);
    QualityFigures finish();

private:
    // One signal's points in the current window; a point is absent when its
    // line has none, `follows` says whether its line directly follows the last.
    struct WindowPoint {
        std::optional<GazePoint> point;
        bool follows = false;
    };
    struct Signal {
        std::uint64_t lost = 0;
        std::vector<WindowPoint> window;
        std::vector<double> s2sPx, stdPx, s2sDeg, stdDeg;  // one value per window
    };

    // A window holds at most this many lines: a file whose time stamps stand
    // still cannot make one window take all memory.
    static constexpr std::size_t kMaxWindowLines = 1 << 16;

    void closeWindow();
    void closeWindow(Signal& signal);
    SignalQuality figures(Signal& signal) const;

    ScreenGeometry screen_;
    std::int64_t windowMicros_;
    std::int64_t windowStart_ = 0;
    QualityFigures figures_;
    std::optional<RecordedSample> last_;
    IntervalHistogram intervals_;
    Signal left_, right_, binocular_;
};

// The median of the values (the mean of the two middle ones); nullopt when empty.
std::optional<double> median(std::vector<double> values);

}  // namespace tyvarion::tools
