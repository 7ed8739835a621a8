#pragma once
// The picture of a recording as one self-contained SVG document: the gaze of
// both eyes on the screen's rectangle with fixation-like dwells marked, the
// triggers and messages on the time axis, the gaze's x and y over time and
// the pupil diameters over time. Missing values leave gaps. It stays readable
// and small at any length: the lines over time are reduced to what the
// picture's width can show, the path on the screen gives way to a shading of
// where the gaze was when it would be a tangle, and every trigger and message
// is kept. Pure: lines in, text out.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output-file/output_file.h"
#include "plot-recording/binned_series.h"
#include "plot-recording/dwell.h"
#include "plot-recording/gaze_map.h"
#include "recording-reader/recording_reader.h"

namespace tyvarion::plot {

struct PlotOptions {
    std::int32_t screenWidth = 1920;
    std::int32_t screenHeight = 1080;
    std::string title;  // usually the file's name
    DwellCriteria dwell;
};

// The screen panel's largest size in picture pixels, and its scale: picture
// pixels per screen pixel.
inline constexpr double kGazeMaxWidth = 620;
inline constexpr double kGazeMaxHeight = 420;
double gazeScale(const PlotOptions& options);

// Dwell circles beyond this many would hide the screen; they are counted then.
inline constexpr std::size_t kMaxDwellCircles = 600;

// What a picture shows, gathered one line of the recording at a time.
class Picture {
public:
    explicit Picture(const PlotOptions& options);

    void addSample(const tools::RecordedSample& sample);
    // A trigger or message line; `above` is the sample line before it in the
    // file, whose time it takes (none: the first sample's).
    void addText(const tools::TextLine& line, const std::optional<tools::RecordedSample>& above);

    std::size_t samples() const { return samples_; }
    std::size_t triggers() const { return triggers_; }
    std::size_t messages() const { return messages_; }

    // The SVG document; call once, after the last line.
    std::string draw();

private:
    struct Event {
        tools::TextKind kind;
        std::string text;   // the whole line, for its tooltip
        std::string value;  // after "trigger: " or "message: "
        std::optional<std::int64_t> timeMicros;
    };

    PlotOptions options_;
    std::size_t samples_ = 0;
    std::size_t triggers_ = 0;
    std::size_t messages_ = 0;
    std::size_t missing_ = 0;  // gaps in index
    std::optional<std::int32_t> lastIndex_;
    std::optional<std::int64_t> firstMicros_;
    std::int64_t lastMicros_ = 0;
    BinnedSeries gazeX_, gazeY_, pupilLeft_, pupilRight_;
    ThinnedPath left_, right_;
    GazeGrid grid_;
    DwellFinder dwells_;
    std::vector<Event> events_;
};

// The picture of a whole recording read at once.
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
