#pragma once
// Reading a recording file back for the tools: sample lines with their fields,
// and the text lines (triggers, messages) with their place among the samples.
// A file is a recording only when its first two lines are the plug-in's
// header; lines that are neither samples nor text lines, and a last line cut
// off without its line end, are counted rather than dropped without a word.
// Values the file marks as missing ("INVALID"), and values that no gaze or
// pupil measure can take (NaN, infinities, the client's marker for a missing
// Y value written as a number), come back absent, so that plots leave gaps.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
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

enum class TextKind { trigger, message };

struct TextLine {
    TextKind kind = TextKind::trigger;
    std::string text;            // the whole line, without its line end
    std::string value;           // after "trigger: " or "message: "
    std::size_t samplesBefore = 0;  // sample lines above it in the file
};

// The recording's header lines, without their line ends.
inline constexpr std::string_view kSeparatorLineText = "Sep=;";
inline constexpr std::string_view kColumnHeaderText =
    "timestamp [us];\tindex;\tPOR X [px];\tPOR Y [px];\tPOR Left X [px];\tPOR Left Y [px];"
    "\tPupil Diam Left [mm];\tPOR Right X [px];\tPOR Right Y [px];\tPupil Diam Right [mm]";

struct UnreadableLines {
    std::size_t count = 0;
    std::size_t firstLineNumber = 0;  // counted from 1, the header included
    std::string firstText;            // that line, without its line end
};

struct Recording {
    bool hasSeparatorLine = false;  // line 1 is "Sep=;"
    bool hasColumnHeader = false;   // line 2 is the column header
    std::vector<RecordedSample> samples;
    std::vector<TextLine> texts;
    std::size_t triggers = 0;
    std::size_t messages = 0;
    UnreadableLines unreadable;
    std::size_t cutOffBytes = 0;  // of a last line that has no line end

    bool recognised() const { return hasSeparatorLine && hasColumnHeader; }
};

// One sample line ("1500;42;959.5;...;6.5;", an optional carriage return);
// nullopt when the line is not one.
std::optional<RecordedSample> parseSampleLine(std::string_view line);

// Reads the whole stream as RecordingStream does (recording_stream.h): nothing
// unless the first two lines are the header, and then every sample and text
// line, with what was left out counted.
Recording parseRecording(std::istream& input);

// Opens a file to be read as a recording. False, with `error` set, for a path
// that cannot be opened ("cannot open PATH"), a directory ("not a recording:
// PATH is a directory") and an empty file ("not a recording: PATH is empty").
bool openRecording(const std::filesystem::path& path, std::ifstream& input, std::string& error);

// The refusal of a file whose first two lines are not the header:
// "not a recording: PATH does not begin with the lines ...".
std::string notARecording(const std::filesystem::path& path);

// openRecording and parseRecording; nullopt, with `error` set, when the file
// cannot be opened or is not a recording.
std::optional<Recording> readRecording(const std::filesystem::path& path, std::string& error);

// What the reader left out, one sentence each, for the tools to show as
// warnings: the cut-off last line, the unreadable lines. Empty for a whole file.
std::vector<std::string> readingWarnings(std::size_t cutOffBytes, const UnreadableLines& unreadable);
std::vector<std::string> readingWarnings(const Recording& recording);

// Samples missing between consecutive sample lines, from the gaps in `index`.
std::int64_t missingSamples(const std::vector<RecordedSample>& samples);

// The time of a text line on the samples' time axis: that of the sample above
// it (the line was queued after it), else of the first sample; nullopt when
// the file has no sample.
std::optional<std::int64_t> textLineTime(const Recording& recording, const TextLine& line);

}  // namespace tyvarion::tools
