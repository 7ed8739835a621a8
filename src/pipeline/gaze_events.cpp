#include "pipeline/gaze_events.h"

#include <cstring>

namespace tyvarion {
namespace {

// The padding after `eye` is zeroed too: the host receives whole records.
void fill(EyeTracker2GeneralData& event, EyeTracker2DataType type, EyeTracker2EyeType eye,
          ULONGLONG time, double x, double y, double data1) {
    std::memset(&event, 0, sizeof event);
    event.type = type;
    event.eye = eye;
    event.time = time;
    event.xData = x;
    event.yData = y;
    event.data1 = data1;
}

}  // namespace

std::size_t makeGazeEvents(const tyapi::TYGazeSample& sample, DataKinds selected,
                           const DisplayGeometry& geometry, GazeEvents& events) {
    const double invalid = tyapi::TYInvalidValue;
    const auto time = static_cast<ULONGLONG>(sample.timestampMicroSec);
    std::size_t count = 0;

    const auto position = [&](EyeTracker2EyeType eye, double x, double y) {
        const DisplayPoint point = mapToDisplay(x, y, geometry);
        fill(events[count++], ET2_DT_POSITION, eye, time, point.x, point.y, 0.0);
    };
    const auto pupil = [&](EyeTracker2EyeType eye, double diameter) {
        fill(events[count++], ET2_DT_PUPIL, eye, time, diameter, diameter, kPupilData1);
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
    return count;
}

}  // namespace tyvarion
