#include "server/sample_source.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <utility>

#include "server/gaze_model.h"
#include "recording-reader/recording_stream.h"
#include "server/replay.h"

namespace tyvarion::sim {
namespace {

// Far enough for any recording; keeps time arithmetic away from overflow.
constexpr std::int64_t kMaxDueMicros = std::int64_t{1} << 50;

std::int64_t elapsedSince(std::int64_t time, std::int64_t origin) {
    if (time <= origin) return 0;
    const std::uint64_t difference = static_cast<std::uint64_t>(time) - static_cast<std::uint64_t>(origin);
    return static_cast<std::int64_t>(std::min<std::uint64_t>(difference, kMaxDueMicros));
}

class ModelSource final : public SampleSource {
public:
    explicit ModelSource(const GazeModelConfig& config) : model_(config), rateHz_(config.rateHz) {}

    std::optional<TimedSample> next() override {
        TimedSample timed{model_.next(), static_cast<std::int64_t>(count_ * 1e6 / rateHz_)};
        // The index wraps like the 32-bit field it is.
        timed.sample.index = static_cast<std::int32_t>(static_cast<std::uint32_t>(count_));
        ++count_;
        return timed;
    }
    bool stampsLiveTime() const override { return true; }

private:
    GazeModel model_;
    double rateHz_;
    std::uint64_t count_ = 0;
};

class ReplaySource final : public SampleSource {
public:
    explicit ReplaySource(std::ifstream file) : file_(std::move(file)), stream_(file_) {}

    std::optional<TimedSample> next() override {
        while (stream_.next()) {
            if (!stream_.atSample()) continue;
            const tyapi::TYGazeSample sample = replayedSample(stream_.sample());
            if (!first_) first_ = sample.timestampMicroSec;
            // A step back in the recorded time is sent at once, not waited for.
            lastDue_ = std::max(lastDue_, elapsedSince(sample.timestampMicroSec, *first_));
            return TimedSample{sample, lastDue_};
        }
        return std::nullopt;
    }
    bool stampsLiveTime() const override { return false; }

private:
    std::ifstream file_;
    tools::RecordingStream stream_;
    std::optional<std::int64_t> first_;
    std::int64_t lastDue_ = 0;
};

}  // namespace

std::unique_ptr<SampleSource> makeModelSource(const GazeModelConfig& config) {
    return std::make_unique<ModelSource>(config);
}

std::optional<std::string> checkReplayFile(const std::string& path, std::vector<std::string>& warnings) {
    const std::filesystem::path file = std::filesystem::u8path(path);
    std::ifstream input;
    std::string error;
    if (!tools::openRecording(file, input, error)) return error;
    tools::RecordingStream stream(input);
    while (stream.next()) {
    }
    if (!stream.recognised()) return tools::notARecording(file);
    if (stream.sampleLines() == 0) return "no sample lines in " + path;
    warnings = tools::readingWarnings(stream.cutOffBytes(), stream.unreadable());
    return std::nullopt;
}

std::unique_ptr<SampleSource> makeReplaySource(const std::string& path, std::string& error) {
    std::ifstream input;
    if (!tools::openRecording(std::filesystem::u8path(path), input, error)) return nullptr;
    return std::make_unique<ReplaySource>(std::move(input));
}

}  // namespace tyvarion::sim
