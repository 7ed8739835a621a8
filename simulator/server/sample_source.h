#pragma once
// Where a session's samples come from: the gaze model or a recording file.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "client/tyapi.h"

namespace tyvarion::sim {

struct TimedSample {
    tyapi::TYGazeSample sample;
    std::int64_t dueMicros = 0;  // on the source's own timeline, never decreasing
};

class SampleSource {
public:
    virtual ~SampleSource() = default;
    // The next sample; nullopt when the source has no more.
    virtual std::optional<TimedSample> next() = 0;
    // True when the session stamps each sample with the system clock at its
    // due time; false when the sample keeps the time it carries.
    virtual bool stampsLiveTime() const = 0;
};

struct GazeModelConfig;

// Model samples at the configured rate; `index` counts from 0.
std::unique_ptr<SampleSource> makeModelSource(const GazeModelConfig& config);

// Reads a file to be replayed once, as the tools read a recording: nullopt
// when it is a recording with samples (and `warnings` say what the reader
// leaves out), else why not ("not a recording: ...", "cannot open ...").
std::optional<std::string> checkReplayFile(const std::string& path, std::vector<std::string>& warnings);

// The sample lines of a recording file with their recorded times and
// indices; null (and `error` set) when the file cannot be opened.
std::unique_ptr<SampleSource> makeReplaySource(const std::string& path, std::string& error);

}  // namespace tyvarion::sim
