#include "server/sample_source.h"

#include <algorithm>

#include "server/gaze_model.h"
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
    explicit ReplaySource(const std::string& path) : reader_(path) {}
    bool isOpen() const { return reader_.isOpen(); }

    std::optional<TimedSample> next() override {
        std::string line;
        bool overlong = false;
        while (reader_.next(line, overlong)) {
            if (overlong) continue;
            const auto sample = parseSampleLine(line);
            if (!sample) continue;
            if (!first_) first_ = sample->timestampMicroSec;
            // A step back in the recorded time is sent at once, not waited for.
            lastDue_ = std::max(lastDue_, elapsedSince(sample->timestampMicroSec, *first_));
            return TimedSample{*sample, lastDue_};
        }
        return std::nullopt;
    }
    bool stampsLiveTime() const override { return false; }

private:
    LineReader reader_;
    std::optional<std::int64_t> first_;
    std::int64_t lastDue_ = 0;
};

}  // namespace

std::unique_ptr<SampleSource> makeModelSource(const GazeModelConfig& config) {
    return std::make_unique<ModelSource>(config);
}

std::unique_ptr<SampleSource> makeReplaySource(const std::string& path, std::string& error) {
    ReplaySource probe(path);
    if (!probe.isOpen()) {
        error = "cannot open " + path;
        return nullptr;
    }
    if (!probe.next()) {
        error = "no sample lines in " + path;
        return nullptr;
    }
    return std::make_unique<ReplaySource>(path);
}

}  // namespace tyvarion::sim
