#pragma once
// Turning one gaze sample into host events: the display mapping and the six
// event rows. Plain functions over plain values, testable without a tracker
// object or threads; sample intake feeds them what it reads under eventMutex.

#include <array>
#include <cstddef>
#include <cstdint>

#include "client/tyapi.h"
#include "pipeline/data_kinds.h"
#include "tracker/eye_tracker2.h"

namespace tyvarion {

// The sizes that the mapping from screen pixels to host coordinates uses. A
// display width of 0 means the host has set no display mode.
struct DisplayGeometry {
    std::int32_t screenWidth = 0;
    std::int32_t screenHeight = 0;
    std::int32_t displayWidth = 0;
    std::int32_t displayHeight = 0;
};

struct DisplayPoint {
    double x;
    double y;
};

inline constexpr std::size_t kMaxEventsPerSample = 6;
using GazeEvents = std::array<EyeTracker2GeneralData, kMaxEventsPerSample>;

// The host reads this fixed value in data1 of every pupil event.
inline constexpr double kPupilData1 = 113.1;

// Screen pixels to coordinates around the centre of the host's display: scaled
// to the display when a display width is set, only shifted otherwise. The
// display width alone decides; the vertical axis keeps the client's direction.
constexpr DisplayPoint mapToDisplay(double x, double y, const DisplayGeometry& geometry) {
    const double screenWidth = geometry.screenWidth;
    const double screenHeight = geometry.screenHeight;
    if (geometry.displayWidth != 0) {
        return {(x / screenWidth - 0.5) * static_cast<double>(geometry.displayWidth),
                (y / screenHeight - 0.5) * static_cast<double>(geometry.displayHeight)};
    }
    return {x - screenWidth * 0.5, y - screenHeight * 0.5};
}

// Writes the sample's events into `events` in row order (position default,
// left, right, then pupil left, right, default) and returns how many. A row
// is skipped when its kind is not among `selected` or a field it tests equals
// TYInvalidValue; a NaN is not equal to it and is used.
std::size_t makeGazeEvents(const tyapi::TYGazeSample& sample, DataKinds selected,
                           const DisplayGeometry& geometry, GazeEvents& events);

}  // namespace tyvarion
