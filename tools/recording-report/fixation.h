#pragma once
// Which precision windows are fixations. Precision is a property of the gaze
// signal while the eye rests; a window that holds a saccade measures the
// saccade. A window counts as a fixation by the dispersion rule of I-DT
// (Salvucci & Goldberg, 2000): its points' dispersion, the horizontal plus
// the vertical extent, (max x - min x) + (max y - min y), is at most
// kFixationDispersionDegrees of visual angle. The window itself is the
// rule's minimum duration (200 ms by default, within the 100 to 200 ms that
// I-DT takes). A saccade of more than 1 degree within the window, or a drift
// of as much, leaves it out; noise of a screen-based tracker (RMS-S2S up to
// some 0.1 degree) does not.

#include "recording-reader/recording_reader.h"
#include "recording-report/geometry.h"

namespace tyvarion::tools {

inline constexpr double kFixationDispersionDegrees = 1.0;

// The screen that degrees are measured on when none is given: a 24-inch
// screen (531 x 299 mm) at 650 mm, with the pixels of `screen`.
inline constexpr double kAssumedWidthMm = 531;
inline constexpr double kAssumedHeightMm = 299;
inline constexpr double kAssumedDistanceMm = 650;
ScreenGeometry classificationScreen(const ScreenGeometry& screen);

// The extent of a window's points, gathered one point at a time.
class Dispersion {
public:
    void add(const GazePoint& point);
    bool empty() const { return count_ == 0; }
    // The dispersion in degrees, each extent measured through the points' mean.
    double degrees(const ScreenGeometry& screen) const;

private:
    std::size_t count_ = 0;
    GazePoint low_, high_, sum_;
};

}  // namespace tyvarion::tools
