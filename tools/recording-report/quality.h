#pragma once
// The data-quality figures of a stretch of samples (a whole recording or one
// trial), gathered one sample at a time:
// - timing: duration, effective rate (lines - runs) / duration, the intervals
//   between time stamps, gaps in the index and intervals over 1.5 times the
//   median; a recording whose time or index starts over (timeline.h) is
//   measured run by run and the runs added up;
// - loss per eye and for the binocular point: the samples without a valid
//   point, those on sample lines that have none and those that never came
//   (gaps in the index), of the samples the index range says were due; the
//   share of sample lines without a valid point beside it;
// - precision per eye and binocular, RMS sample-to-sample and STD, each in
//   windows of a fixed length, as the median over the windows that are
//   fixations (fixation.h), and the median over every window beside it.
//   RMS-S2S uses pairs of valid samples on consecutive lines (index step 1)
//   within a window; STD is the root mean square distance from the window's
//   mean point, sqrt(var(x) + var(y)) with the variance of the population.
//   In degrees both use the visual angle between the points instead of their
//   distance.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "recording-reader/recording_reader.h"
#include "recording-report/fixation.h"
#include "recording-report/geometry.h"
#include "recording-report/intervals.h"

namespace tyvarion::tools {

// Medians over a set of windows.
struct Precision {
    std::size_t s2sWindows = 0;  // windows with at least one pair
    std::size_t stdWindows = 0;  // windows with at least two valid samples
    std::optional<double> rmsS2sPx;
    std::optional<double> stdPx;
    std::optional<double> rmsS2sDeg;
    std::optional<double> stdDeg;
};

struct SignalQuality {
    std::uint64_t invalid = 0;  // sample lines without a valid point
    std::optional<double> invalidShare;  // of the sample lines
    std::optional<double> lossShare;     // (invalid + missing) of the samples due
    Precision fixations;   // over the fixation windows
    Precision allWindows;  // over every window
    // Of the windows with at least two valid samples: fixations, and the rest.
    std::size_t fixationWindows = 0;
    std::size_t otherWindows = 0;
};

struct IndexGaps {
    std::uint64_t count = 0;
    std::int64_t missing = 0;
    std::int64_t longest = 0;  // samples
};

struct QualityFigures {
    std::uint64_t sampleLines = 0;
    std::uint64_t runs = 0;              // runs of time (timeline.h)
    std::uint64_t expectedSamples = 0;   // from each run's index range
    std::optional<std::int64_t> firstMicros;
    std::optional<std::int64_t> lastMicros;
    double durationSeconds = 0;  // of all runs
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
    // Once, after the last sample.
    QualityFigures finish();

private:
    // One signal's points in the current window; a point is absent when its
    // line has none, `follows` says whether its line directly follows the last.
    struct WindowPoint {
        std::optional<GazePoint> point;
        bool follows = false;
    };
    // One value per window, for the medians.
    struct WindowValues {
        std::vector<double> s2sPx, stdPx, s2sDeg, stdDeg;
    };
    struct Signal {
        std::uint64_t invalid = 0;
        std::vector<WindowPoint> window;
        WindowValues all, fixations;
    };

    // A window holds at most this many lines: a file whose time stamps stand
    // still cannot make one window take all memory.
    static constexpr std::size_t kMaxWindowLines = 1 << 16;

    void beginRun(const RecordedSample& sample);
    void closeRun();
    void closeWindow();
    void closeWindow(Signal& signal);
    SignalQuality figures(const Signal& signal) const;

    ScreenGeometry screen_;
    ScreenGeometry classifier_;  // the screen, or the assumed one
    std::int64_t windowMicros_;
    std::int64_t windowStart_ = 0;
    QualityFigures figures_;
    std::optional<RecordedSample> last_;
    std::int64_t runFirstIndex_ = 0;
    std::int64_t runFirstMicros_ = 0;
    IntervalHistogram intervals_;
    Signal left_, right_, binocular_;
};

// The median of the values (the mean of the two middle ones); nullopt when empty.
std::optional<double> median(std::vector<double> values);

}  // namespace tyvarion::tools
