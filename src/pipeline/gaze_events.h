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

// Makes the sample's events in row order (position default, left, right, then
// pupil left, right, default), each in the record that `next()` returns, which
// comes zeroed, padding included. A row is skipped when its kind is not among
// `selected` or a field it tests equals the missing-value marker; a NaN is not equal to
// it and is used.
template <typename NextRecord>
void makeGazeEvents(const tyapi::TYGazeSample& sample, DataKinds selected,
                    const DisplayGeometry& geometry, NextRecord&& next) {
    const double invalid = tyapi::invalidValue();
    const auto time = static_cast<ULONGLONG>(sample.timestampMicroSec);
    const auto record = [&](EyeTracker2DataType type, EyeTracker2EyeType eye, double x, double y,
                            double data1) {
        EyeTracker2GeneralData& event = next();
        event.type = type;
        event.eye = eye;
        event.time = time;
        event.xData = x;
        event.yData = y;
        event.data1 = data1;
    };
    const auto position = [&](EyeTracker2EyeType eye, double x, double y) {
        const DisplayPoint point = mapToDisplay(x, y, geometry);
        record(ET2_DT_POSITION, eye, point.x, point.y, 0.0);
    };
    const auto pupil = [&](EyeTracker2EyeType eye, double diameter) {
        record(ET2_DT_PUPIL, eye, diameter, diameter, kPupilData1);
    };

    // Only the horizontal field says whether a point is there.
    if ((selected & kPositionDefault) && sample.porX != invalid)
        position(ET2_ET_DEFAULT, sample.porX, sample.porY);
    if ((selected & kPositionLeft) && sample.porLeftX != invalid)
        position(ET2_ET_LEFT, sample.porLeftX, sample.porLeftY);
    if ((selected & kPositionRight) && sample.porRightX != invalid)
        position(ET2_ET_RIGHT, sample.porRightX, sample.porRightY);

    const bool leftPupil = sample.pupilRadiusLeft != invalid;
    const bool rightPupil = sample.pupilRadiusRight != invalid;
    if ((selected & kPupilLeft) && leftPupil) pupil(ET2_ET_LEFT, 2.0 * sample.pupilRadiusLeft);
    if ((selected & kPupilRight) && rightPupil) pupil(ET2_ET_RIGHT, 2.0 * sample.pupilRadiusRight);
    // The mean of the two diameters, which is the sum of the two radii.
    if ((selected & kPupilDefault) && leftPupil && rightPupil)
        pupil(ET2_ET_DEFAULT, sample.pupilRadiusLeft + sample.pupilRadiusRight);
}

// The same into an array; returns how many events were made.
std::size_t makeGazeEvents(const tyapi::TYGazeSample& sample, DataKinds selected,
                           const DisplayGeometry& geometry, GazeEvents& events);

}  // namespace tyvarion
