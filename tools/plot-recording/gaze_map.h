#pragma once
// The gaze on the screen as it streams in: each eye's path, thinned to steps
// a picture can show, kept while it stays within kMaxPathPoints (a longer
// path is a tangle, and is dropped); and, always, the time the gaze spent in
// each cell of a grid over the screen. Memory is bounded at any length.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "recording-reader/recording_reader.h"

namespace tyvarion::plot {

struct PathPoint {
    float x = 0;
    float y = 0;
    bool startsRun = false;  // after a gap, or the first
};

// One eye's path in screen pixels.
class ThinnedPath {
public:
    static constexpr std::size_t kMaxPathPoints = 5000;

    explicit ThinnedPath(double minStepPx) : minStepPx_(minStepPx) {}
    void add(const std::optional<tools::GazePoint>& point);
    // False once the path outgrew kMaxPathPoints; its points are then gone.
    bool fits() const { return fits_; }
    const std::vector<PathPoint>& points() const { return points_; }

private:
    double minStepPx_;
    bool fits_ = true;
    bool drawing_ = false;
    std::vector<PathPoint> points_;
};

// Sample lines with a gaze point per cell, kColumns across the screen and
// as many rows as keep the cells square; points off the screen are counted apart.
class GazeGrid {
public:
    static constexpr int kColumns = 64;

    GazeGrid(int screenWidth, int screenHeight);
    void add(const std::optional<tools::GazePoint>& point);
    int columns() const { return kColumns; }
    int rows() const { return rows_; }
    double cellPx() const { return cellPx_; }
    std::uint32_t count(int column, int row) const { return counts_[static_cast<std::size_t>(row * kColumns + column)]; }
    std::uint32_t highest() const { return highest_; }
    std::uint64_t offScreen() const { return offScreen_; }

private:
    int width_;
    int height_;
    int rows_;
    double cellPx_;
    std::vector<std::uint32_t> counts_;
    std::uint32_t highest_ = 0;
    std::uint64_t offScreen_ = 0;
};

}  // namespace tyvarion::plot
