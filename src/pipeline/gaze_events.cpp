#include "pipeline/gaze_events.h"

namespace tyvarion {
namespace {

EyeTracker2GeneralData event(EyeTracker2DataType type, EyeTracker2EyeType eye, ULONGLONG time,
                             double x, double y, double data1) {
    return {type, 0, eye, time, x, y, data1, 0.0, 0.0};
}

}  // namespace

std::size_t makeGazeEvents(const tyapi::TYGazeSample& sample, DataKinds selected,
                           const DisplayGeometry& geometry, GazeEvents& events) {
    const double invalid = tyapi::TYInvalidValue;
    const auto time = static_cast<ULONGLONG>(sample.timestampMicroSec);
    std::size_t count = 0;

    const auto position = [&](EyeTracker2EyeType eye, double x, double y) {
        const DisplayPoint point = mapToDisplay(x, y, geometry);
        events[count++] = event(ET2_DT_POSITION, eye, time, point.x, point.y, 0.0);
    };
    const auto pupil = [&](EyeTracker2EyeType eye, double diameter) {
        events[count++] = event(ET2_DT_PUPIL, eye, time, diameter, diameter, kPupilData1);
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
