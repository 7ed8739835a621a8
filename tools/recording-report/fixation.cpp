#include "recording-report/fixation.h"

#include <algorithm>

namespace tyvarion::tools {

ScreenGeometry classificationScreen(const ScreenGeometry& screen) {
    if (screen.hasAngles()) return screen;
    ScreenGeometry assumed = screen;
    assumed.widthMm = kAssumedWidthMm;
    assumed.heightMm = kAssumedHeightMm;
    assumed.distanceMm = kAssumedDistanceMm;
    return assumed;
}

void Dispersion::add(const GazePoint& point) {
    if (count_++ == 0) {
        low_ = high_ = point;
    } else {
        low_ = {std::min(low_.x, point.x), std::min(low_.y, point.y)};
        high_ = {std::max(high_.x, point.x), std::max(high_.y, point.y)};
    }
    sum_.x += point.x;
    sum_.y += point.y;
}

double Dispersion::degrees(const ScreenGeometry& screen) const {
    if (count_ == 0) return 0;
    const GazePoint mean{sum_.x / static_cast<double>(count_), sum_.y / static_cast<double>(count_)};
    return visualAngleDegrees(screen, {low_.x, mean.y}, {high_.x, mean.y}) +
           visualAngleDegrees(screen, {mean.x, low_.y}, {mean.x, high_.y});
}

}  // namespace tyvarion::tools
