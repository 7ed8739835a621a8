#pragma once
// What the host received, counted as it arrives: events per kind, samples
// (the events of one sample share its time stamp and arrive together), and
// the delay from a sample's time stamp to the host's fetch of its events.
// Pure: the caller supplies the fetch time.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "tracker/eye_tracker2.h"

namespace tyvarion::host {

// The six kinds of event the session asks for, in the order it asks.
enum class EventKind : std::size_t {
    positionDefault,
    positionLeft,
    positionRight,
    pupilLeft,
    pupilRight,
    pupilDefault,
};
inline constexpr std::size_t kEventKinds = 6;

struct EventKindInfo {
    EyeTracker2DataType type;
    EyeTracker2EyeType eye;
    std::string_view name;  // "position, left eye"
};

// Indexed by EventKind.
extern const std::array<EventKindInfo, kEventKinds> kEventKindInfo;

// The kind of an event; nullopt for a type and eye the session did not ask for.
std::optional<EventKind> eventKind(const EyeTracker2GeneralData& event);

struct DelayDistribution {
    std::size_t count = 0;
    std::int64_t median = 0;  // microseconds; nearest rank, as are the others
    std::int64_t p95 = 0;
    std::int64_t p99 = 0;
    std::int64_t maximum = 0;
};

// Nearest-rank percentiles of `delays`; all zero when there is none.
DelayDistribution distribution(std::vector<std::int64_t> delays);

class ReceivedData {
public:
    // Counts one GetEvents batch, fetched at `fetchMicros` (GetTime).
    void add(std::span<const EyeTracker2GeneralData> events, std::uint64_t fetchMicros);

    std::uint64_t events() const { return events_; }
    std::uint64_t eventsOf(EventKind kind) const { return perKind_[static_cast<std::size_t>(kind)]; }
    std::uint64_t otherEvents() const { return other_; }
    std::uint64_t samples() const { return samples_; }
    const std::vector<std::int64_t>& delays() const { return delays_; }
    // The time stamps of the samples received, in the order they came.
    const std::vector<std::uint64_t>& sampleTimes() const { return sampleTimes_; }
    // The newest binocular gaze position, in the host's display coordinates.
    std::optional<std::array<double, 2>> lastGaze() const { return lastGaze_; }

private:
    std::uint64_t events_ = 0;
    std::array<std::uint64_t, kEventKinds> perKind_{};
    std::uint64_t other_ = 0;
    std::uint64_t samples_ = 0;
    std::optional<std::uint64_t> lastSampleTime_;
    std::vector<std::int64_t> delays_;
    std::vector<std::uint64_t> sampleTimes_;
    std::optional<std::array<double, 2>> lastGaze_;
};

}  // namespace tyvarion::host
