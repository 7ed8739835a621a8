#include "plot-recording/gaze_map.h"

#include <algorithm>
#include <cmath>

namespace tyvarion::plot {

void ThinnedPath::add(const std::optional<tools::GazePoint>& point) {
    if (!fits_) return;
    if (!point) {
        drawing_ = false;
        return;
    }
    if (drawing_) {
        const PathPoint& last = points_.back();
        if (std::hypot(point->x - last.x, point->y - last.y) < minStepPx_) return;
    }
    if (points_.size() == kMaxPathPoints) {
        fits_ = false;
        points_ = {};
        return;
    }
    points_.push_back(PathPoint{static_cast<float>(point->x), static_cast<float>(point->y), !drawing_});
    drawing_ = true;
}

GazeGrid::GazeGrid(int screenWidth, int screenHeight)
    : width_(std::max(screenWidth, 1)),
      height_(std::max(screenHeight, 1)),
      rows_(std::max(1, static_cast<int>(std::lround(static_cast<double>(kColumns) * height_ / width_)))),
      cellPx_(static_cast<double>(width_) / kColumns),
      counts_(static_cast<std::size_t>(kColumns) * static_cast<std::size_t>(rows_)) {}

void GazeGrid::add(const std::optional<tools::GazePoint>& point) {
    if (!point) return;
    if (!(point->x >= 0 && point->x < width_ && point->y >= 0 && point->y < height_)) {
        ++offScreen_;
        return;
    }
    const int column = std::min(kColumns - 1, static_cast<int>(point->x / cellPx_));
    const int row = std::min(rows_ - 1, static_cast<int>(point->y / cellPx_));
    std::uint32_t& cell = counts_[static_cast<std::size_t>(row * kColumns + column)];
    if (cell < UINT32_MAX) ++cell;
    highest_ = std::max(highest_, cell);
}

}  // namespace tyvarion::plot
