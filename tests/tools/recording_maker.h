#pragma once
// Recordings made for a test, with known answers: sample lines in the plug-in's
// format, written from the values a test chooses.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "recording-reader/recording_reader.h"

namespace tyvarion::testing {

inline constexpr const char* kRecordingHeader =
    "Sep=;\n"
    "timestamp [us];\tindex;\tPOR X [px];\tPOR Y [px];\tPOR Left X [px];\tPOR Left Y [px];"
    "\tPupil Diam Left [mm];\tPOR Right X [px];\tPOR Right Y [px];\tPupil Diam Right [mm]\n";

struct MadeSample {
    std::int64_t timeMicros = 0;
    std::int32_t index = 0;
    std::optional<tools::GazePoint> gaze;
    std::optional<tools::GazePoint> left;
    std::optional<double> pupilLeftMm;
    std::optional<tools::GazePoint> right;
    std::optional<double> pupilRightMm;
};

inline std::string number(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6g", value);
    return buffer;
}

inline std::string pair(const std::optional<tools::GazePoint>& point) {
    return point ? number(point->x) + ";" + number(point->y) + ";" : "INVALID;INVALID;";
}

inline std::string single(const std::optional<double>& value) {
    return value ? number(*value) + ";" : "INVALID;";
}

inline std::string sampleLine(const MadeSample& s) {
    return std::to_string(s.timeMicros) + ";" + std::to_string(s.index) + ";" + pair(s.gaze) + pair(s.left) +
           single(s.pupilLeftMm) + pair(s.right) + single(s.pupilRightMm) + "\n";
}

}  // namespace tyvarion::testing
