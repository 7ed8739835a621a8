#include "server/replay.h"

#include <cstring>
#include <optional>

namespace tyvarion::sim {
namespace {

void setPoint(const std::optional<tools::GazePoint>& point, double& x, double& y) {
    x = point ? point->x : tyapi::TYInvalidValue;
    y = point ? point->y : tyapi::TYInvalidValue;
}

double radius(const std::optional<double>& diameter) { return diameter ? *diameter / 2 : tyapi::TYInvalidValue; }

}  // namespace

tyapi::TYGazeSample replayedSample(const tools::RecordedSample& recorded) {
    tyapi::TYGazeSample sample;
    std::memset(&sample, 0, sizeof sample);
    sample.timestampMicroSec = recorded.timeMicros;
    sample.index = recorded.index;
    setPoint(recorded.gaze, sample.porX, sample.porY);
    setPoint(recorded.left, sample.porLeftX, sample.porLeftY);
    setPoint(recorded.right, sample.porRightX, sample.porRightY);
    sample.pupilRadiusLeft = radius(recorded.pupilLeftMm);
    sample.pupilRadiusRight = radius(recorded.pupilRightMm);
    return sample;
}

}  // namespace tyvarion::sim
