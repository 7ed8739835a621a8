#include "host-session/session_stats.h"

#include <algorithm>
#include <cmath>

namespace tyvarion::host {

const std::array<EventKindInfo, kEventKinds> kEventKindInfo{{
    {ET2_DT_POSITION, ET2_ET_DEFAULT, "position, both eyes"},
    {ET2_DT_POSITION, ET2_ET_LEFT, "position, left eye"},
    {ET2_DT_POSITION, ET2_ET_RIGHT, "position, right eye"},
    {ET2_DT_PUPIL, ET2_ET_LEFT, "pupil, left eye"},
    {ET2_DT_PUPIL, ET2_ET_RIGHT, "pupil, right eye"},
    {ET2_DT_PUPIL, ET2_ET_DEFAULT, "pupil, both eyes"},
}};

std::optional<EventKind> eventKind(const EyeTracker2GeneralData& event) {
    for (std::size_t i = 0; i < kEventKinds; ++i) {
        if (event.type == kEventKindInfo[i].type && event.eye == kEventKindInfo[i].eye)
            return static_cast<EventKind>(i);
    }
    return std::nullopt;
}

DelayDistribution distribution(std::vector<std::int64_t> delays) {
    DelayDistribution result;
    result.count = delays.size();
    if (delays.empty()) return result;
    std::sort(delays.begin(), delays.end());
    const auto rank = [&](double percent) {
        const auto position = static_cast<std::size_t>(
            std::ceil(percent / 100.0 * static_cast<double>(delays.size())));
        return delays[std::clamp<std::size_t>(position, 1, delays.size()) - 1];
    };
    result.median = rank(50);
    result.p95 = rank(95);
    result.p99 = rank(99);
    result.maximum = delays.back();
    return result;
}

void ReceivedData::add(std::span<const EyeTracker2GeneralData> events, std::uint64_t fetchMicros) {
    for (const EyeTracker2GeneralData& event : events) {
        ++events_;
        if (const auto kind = eventKind(event)) {
            ++perKind_[static_cast<std::size_t>(*kind)];
            if (*kind == EventKind::positionDefault) lastGaze_ = std::array{event.xData, event.yData};
        } else {
            ++other_;
        }
        // One sample's events are queued together, so a new time stamp starts
        // a new sample.
        if (lastSampleTime_ != event.time) {
            lastSampleTime_ = event.time;
            ++samples_;
            sampleTimes_.push_back(event.time);
            delays_.push_back(static_cast<std::int64_t>(fetchMicros - event.time));
        }
    }
}

}  // namespace tyvarion::host
