#pragma once
// Reading a recording file back for the tools: sample lines with their fields,
// and the text lines (triggers, messages) with their place among the samples.
// Values the file marks as missing ("INVALID"), and values that no gaze or
// pupil measure can take (NaN, infinities, the client's marker for a missing
// Y value written as a number), come back absent, so that plots leave gaps.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tyvarion::tools {

struct GazePoint {
    double x = 0;
    double y = 0;
};

struct RecordedSample {
    std::int64_t timeMicros = 0;
    std::int32_t index = 0;
    std::optional<GazePoint> gaze;   // both eyes
    std::optional<GazePoint> left;
    std::optional<GazePoint> right;
    std::optional<double> pupilLeftMm;   // diameters
    std::optional<double> pupilRightMm;
};

enum class TextKind { trigger, message, other };

struct TextLine {
    TextKind kind = TextKind::other;
    std::string text;            // the whole line, without its line end
    std::string value;           // after "trigger: " or "message: "
    std::size_t samplesBefore = 0;  // sample lines above it in the file
};

struct Recording {
    bool hasSeparatorLine = false;  // "Sep=;"
    bool hasColumnHeader = false;
    std::vector<RecordedSample> samples;
    std::vector<TextLine> texts;
    std::size_t triggers = 0;
    std::size_t messages = 0;
};

// One sample line ("1500;42;959.5;...;6.5;", an optional carriage return);
// nullopt when the line is not one.
std::optional<RecordedSample> parseSampleLine(std::string_view line);

// Reads the whole stream. Lines that are neither the header, a sample nor a
// trigger or message line count as TextKind::other.
Recording parseRecording(std::istream& input);

// Nullopt, with `error` set, when the file cannot be opened.
std::optional<Recording> readRecording(const std::filesystem::path& path, std::string& error);

// Samples missing between consecutive sample lines, from the gaps in `index`.
std::int64_t missingSamples(const std::vector<RecordedSample>& samples);

// The time of a text line on the samples' time axis: that of the sample above
// it (the line was queued after it), else of the first sample; nullopt when
// the file has no sample.
std::optional<std::int64_t> textLineTime(const Recording& recording, const TextLine& line);

}  // namespace tyvarion::tools
