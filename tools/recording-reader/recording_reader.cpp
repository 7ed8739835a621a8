#include "recording-reader/recording_reader.h"

#include "recording-reader/recording_stream.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <fstream>
#include <utility>

namespace tyvarion::tools {
namespace {

constexpr std::size_t kFields = 10;
constexpr std::string_view kInvalid = "INVALID";
// The client marks a missing value with the lowest double; a Y value written
// beside a valid X keeps it as a number ("-1.79769e+308"). No screen
// coordinate or pupil size comes near.
constexpr double kLargestMeasure = 1e300;

template <typename T>
bool integer(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size() && !text.empty();
}

// Nullopt for a field that is not a number at all; an absent value inside
// for INVALID and for numbers that carry no measure.
std::optional<std::optional<double>> measure(std::string_view text) {
    if (text == kInvalid) return std::optional<double>{};
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || end != text.data() + text.size()) return std::nullopt;
    // from_chars reads the NaN spellings of printf ("-nan", "-nan(ind)").
    if (error == std::errc::result_out_of_range) return std::optional<double>{};
    if (error != std::errc{}) return std::nullopt;
    if (!std::isfinite(value) || std::fabs(value) >= kLargestMeasure) return std::optional<double>{};
    return std::optional<double>{value};
}

std::optional<GazePoint> point(const std::optional<double>& x, const std::optional<double>& y) {
    if (!x || !y) return std::nullopt;
    return GazePoint{*x, *y};
}

std::string_view withoutLineEnd(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

std::string shown(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

std::optional<RecordedSample> parseSampleLine(std::string_view line) {
    line = withoutLineEnd(line);
    std::array<std::string_view, kFields> fields;
    std::size_t count = 0;
    while (!line.empty()) {
        const std::size_t separator = line.find(';');
        if (separator == std::string_view::npos || count == kFields) return std::nullopt;
        fields[count++] = line.substr(0, separator);
        line.remove_prefix(separator + 1);
    }
    if (count != kFields) return std::nullopt;

    RecordedSample sample;
    if (!integer(fields[0], sample.timeMicros) || !integer(fields[1], sample.index)) return std::nullopt;
    std::array<std::optional<double>, kFields> values;
    for (std::size_t i = 2; i < kFields; ++i) {
        const auto value = measure(fields[i]);
        if (!value) return std::nullopt;
        values[i] = *value;
    }
    sample.gaze = point(values[2], values[3]);
    sample.left = point(values[4], values[5]);
    sample.pupilLeftMm = values[6];
    sample.right = point(values[7], values[8]);
    sample.pupilRightMm = values[9];
    return sample;
}

Recording parseRecording(std::istream& input) {
    Recording recording;
    RecordingStream stream(input);
    while (stream.next()) {
        if (stream.atSample()) {
            recording.samples.push_back(stream.sample());
        } else {
            recording.texts.push_back(stream.text());
        }
    }
    recording.hasSeparatorLine = stream.hasSeparatorLine();
    recording.hasColumnHeader = stream.hasColumnHeader();
    recording.triggers = stream.triggers();
    recording.messages = stream.messages();
    recording.unreadable = stream.unreadable();
    recording.cutOffBytes = stream.cutOffBytes();
    return recording;
}

bool openRecording(const std::filesystem::path& path, std::ifstream& input, std::string& error) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        error = "not a recording: " + shown(path) + " is a directory";
        return false;
    }
    input.open(path, std::ios::binary);
    if (!input.is_open()) {
        error = "cannot open " + shown(path);
        return false;
    }
    if (input.peek() == std::ifstream::traits_type::eof()) {
        error = "not a recording: " + shown(path) + " is empty";
        return false;
    }
    return true;
}

std::string notARecording(const std::filesystem::path& path) {
    return "not a recording: " + shown(path) + " does not begin with the lines \"" + std::string(kSeparatorLineText) +
           "\" and \"timestamp [us];<tab>index;...\"";
}

std::optional<Recording> readRecording(const std::filesystem::path& path, std::string& error) {
    std::ifstream input;
    if (!openRecording(path, input, error)) return std::nullopt;
    Recording recording = parseRecording(input);
    if (!recording.recognised()) {
        error = notARecording(path);
        return std::nullopt;
    }
    return recording;
}

std::vector<std::string> readingWarnings(std::size_t cutOffBytes, const UnreadableLines& unreadable) {
    std::vector<std::string> warnings;
    if (cutOffBytes != 0) {
        warnings.push_back("the file ends in the middle of a line: " +
                           (cutOffBytes == 1 ? std::string("its last byte was")
                                             : "its last " + std::to_string(cutOffBytes) + " bytes were") +
                           " left out");
    }
    if (unreadable.count == 1) {
        warnings.push_back("1 line could not be read and was left out: line " +
                           std::to_string(unreadable.firstLineNumber));
    } else if (unreadable.count > 1) {
        warnings.push_back(std::to_string(unreadable.count) +
                           " lines could not be read and were left out, the first is line " +
                           std::to_string(unreadable.firstLineNumber));
    }
    return warnings;
}

std::vector<std::string> readingWarnings(const Recording& recording) {
    return readingWarnings(recording.cutOffBytes, recording.unreadable);
}

std::int64_t missingSamples(const std::vector<RecordedSample>& samples) {
    std::int64_t missing = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        const std::int64_t step =
            static_cast<std::int64_t>(samples[i].index) - static_cast<std::int64_t>(samples[i - 1].index);
        if (step > 1) missing += step - 1;
    }
    return missing;
}

std::optional<std::int64_t> textLineTime(const Recording& recording, const TextLine& line) {
    if (recording.samples.empty()) return std::nullopt;
    const std::size_t above = line.samplesBefore;
    if (above == 0) return recording.samples.front().timeMicros;
    return recording.samples[std::min(above, recording.samples.size()) - 1].timeMicros;
}

}  // namespace tyvarion::tools
