#pragma once
// The picture of a recording as one self-contained SVG document: the gaze
// paths of both eyes on the screen's rectangle with fixation-like dwells
// marked, triggers and messages on the time axis, and the pupil diameters over
// time. Missing values leave gaps. Pure: recording in, text out.

#include <cstdint>
#include <string>
#include <string_view>

#include "output-file/output_file.h"
#include "plot-recording/dwell.h"
#include "recording-reader/recording_reader.h"

namespace tyvarion::plot {

struct PlotOptions {
    std::int32_t screenWidth = 1920;
    std::int32_t screenHeight = 1080;
    std::string title;  // usually the file's name
    DwellCriteria dwell;
};

std::string plotRecording(const tools::Recording& recording, const PlotOptions& options);

// The comment that follows the XML declaration of every picture: it tells a
// picture that plot-recording may replace from any other file.
inline constexpr std::string_view kPictureMark = "<!-- picture of a recording, written by plot-recording -->";
extern const tools::OutputKind kPictureKind;

// "1 sample", "2 samples", "0 samples".
std::string counted(std::size_t count, std::string_view noun);

// Tick positions for an axis: multiples of 1, 2 or 5 times a power of ten,
// about `target` of them within [low, high].
std::vector<double> ticks(double low, double high, int target);

}  // namespace tyvarion::plot
