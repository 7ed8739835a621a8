#include "recording-reader/timeline.h"

namespace tyvarion::tools {
namespace {

std::string counted(std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void note(std::uint64_t& count, std::size_t& firstLine, std::size_t line) {
    if (count++ == 0) firstLine = line;
}

}  // namespace

bool beginsNewRun(const RecordedSample& before, const RecordedSample& sample) {
    return sample.timeMicros < before.timeMicros || sample.index <= before.index;
}

bool TimelineCheck::add(const RecordedSample& sample, std::size_t lineNumber) {
    bool newRun = false;
    if (!last_) {
        anomalies_.runs = 1;
    } else {
        const RecordedSample& before = *last_;
        if (sample.timeMicros == before.timeMicros) note(anomalies_.zeroIntervals, anomalies_.firstZeroLine, lineNumber);
        if (sample.timeMicros < before.timeMicros) {
            note(anomalies_.negativeIntervals, anomalies_.firstNegativeLine, lineNumber);
        }
        if (sample.index <= before.index) note(anomalies_.indexRestarts, anomalies_.firstRestartLine, lineNumber);
        newRun = beginsNewRun(before, sample);
        if (newRun && anomalies_.runs++ == 1) anomalies_.secondRunLine = lineNumber;
    }
    last_ = sample;
    return newRun;
}

std::vector<std::string> timelineWarnings(const TimelineAnomalies& a) {
    std::vector<std::string> warnings;
    const auto first = [](std::uint64_t n, std::size_t line) {
        return (n == 1 ? ": line " : ", the first at line ") + std::to_string(line);
    };
    if (a.zeroIntervals) {
        warnings.push_back(counted(a.zeroIntervals, "sample line has", "sample lines have") +
                           " the time stamp of the line before (an interval of zero)" +
                           first(a.zeroIntervals, a.firstZeroLine));
    }
    if (a.negativeIntervals) {
        warnings.push_back(counted(a.negativeIntervals, "time stamp falls", "time stamps fall") +
                           " below the one before (a negative interval)" +
                           first(a.negativeIntervals, a.firstNegativeLine));
    }
    if (a.indexRestarts) {
        warnings.push_back("the index does not rise " + counted(a.indexRestarts, "time", "times") +
                           " (it restarts or repeats)" + first(a.indexRestarts, a.firstRestartLine));
    }
    if (a.runs > 1) {
        warnings.push_back("the recording holds " + std::to_string(a.runs) +
                           " runs of time that share no time axis; the second begins at line " +
                           std::to_string(a.secondRunLine));
    }
    return warnings;
}

}  // namespace tyvarion::tools
