#pragma once
// Where a recording's clock or index does not run forward. Within one run of
// time the time stamps rise (or at worst stand still) and the index rises;
// a time stamp below the one before, or an index that does not rise, begins
// a new run: the tracker or the file started over, and the two runs share no
// time axis. Equal time stamps are counted but begin no new run.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "recording-reader/recording_reader.h"

namespace tyvarion::tools {

// True when `sample` cannot follow `before` on one time axis.
bool beginsNewRun(const RecordedSample& before, const RecordedSample& sample);

struct TimelineAnomalies {
    std::uint64_t zeroIntervals = 0;  // equal time stamps on consecutive sample lines
    std::size_t firstZeroLine = 0;
    std::uint64_t negativeIntervals = 0;  // time stamps that fall
    std::size_t firstNegativeLine = 0;
    std::uint64_t indexRestarts = 0;  // an index that does not rise
    std::size_t firstRestartLine = 0;
    std::uint64_t runs = 0;  // runs of time; 0 without samples
    std::size_t secondRunLine = 0;
};

class TimelineCheck {
public:
    // The sample on line `lineNumber` (counted from 1); true when it begins a
    // new run, after the first.
    bool add(const RecordedSample& sample, std::size_t lineNumber);
    const TimelineAnomalies& anomalies() const { return anomalies_; }

private:
    std::optional<RecordedSample> last_;
    TimelineAnomalies anomalies_;
};

// One sentence per anomaly, for the tools' warnings; empty when time and
// index ran forward throughout.
std::vector<std::string> timelineWarnings(const TimelineAnomalies& anomalies);

}  // namespace tyvarion::tools
