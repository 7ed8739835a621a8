#pragma once
// Where the gaze was recorded: the screen in pixels (origin top left, as the
// recording's coordinates), and, when known, its size in millimetres and the
// eye's distance from it. With both, a distance between two gaze points can be
// given as the visual angle between the eye's directions to them, for an eye
// on the normal through the screen's centre.

#include <optional>
#include <string>
#include <string_view>

#include "recording-reader/recording_reader.h"

namespace tyvarion::tools {

struct ScreenGeometry {
    int widthPx = 1920;
    int heightPx = 1080;
    std::optional<double> widthMm;
    std::optional<double> heightMm;
    std::optional<double> distanceMm;

    bool hasAngles() const { return widthMm && heightMm && distanceMm; }
};

// The angle in degrees between the eye's directions to two points given in
// pixels. Needs hasAngles().
double visualAngleDegrees(const ScreenGeometry& screen, const GazePoint& a, const GazePoint& b);

// Parses "WxH" into two positive numbers; nullopt when it is not that.
std::optional<std::pair<double, double>> parseSize(std::string_view text);

// Takes the geometry options --screen WxH (pixels), --screen-mm WxH and
// --distance-mm D. Returns false if `name` is none of them; else true, with
// `error` set when the value is not valid.
bool takeGeometryOption(std::string_view name, std::string_view value, ScreenGeometry& screen,
                        std::string& error);

// Empty when the geometry is whole; else why not (--screen-mm without
// --distance-mm and the other way round).
std::string geometryProblem(const ScreenGeometry& screen);

inline constexpr const char* kGeometryUsage =
    "  --screen WxH            the screen in pixels (default 1920x1080)\n"
    "  --screen-mm WxH         the screen's visible size in millimetres\n"
    "  --distance-mm D         the eye's distance from the screen in millimetres\n";

}  // namespace tyvarion::tools
