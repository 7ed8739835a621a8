// plot-recording: one SVG picture of a recording file. See --help.
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output-file/output_file.h"
#include "plot-recording/plot.h"
#include "recording-reader/recording_reader.h"

namespace {

const char* const kUsage =
    "usage: plot-recording RECORDING.csv [options]\n"
    "Writes one self-contained SVG: the gaze of both eyes on the screen with\n"
    "fixation-like dwells, triggers and messages on the time axis, and the pupil\n"
    "diameters over time.\n"
    "  -o, --output FILE.svg   where to write (default: the recording's name with .svg);\n"
    "                          never the recording itself, nor an existing file that\n"
    "                          is not a picture written by plot-recording\n"
    "  --screen WxH            the screen the gaze was recorded on (default 1920x1080)\n"
    "  --dwell-px PX           largest spread of a dwell, x plus y (default 40)\n"
    "  --dwell-ms MS           shortest dwell (default 100)\n"
    "Exit status: 0 when the picture was written (warnings about lines left out go\n"
    "to standard error), 1 when the recording cannot be read or is not one, or the\n"
    "picture cannot be written, 2 for a bad command line or an output it will not\n"
    "write over.\n";

template <typename T>
std::optional<T> numberIn(std::string_view text, T low, T high) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    if (!(value >= low && value <= high)) return std::nullopt;
    return value;
}

int usage(const std::string& error) {
    std::fprintf(stderr, "plot-recording: %s\n%s", error.c_str(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tyvarion;
    std::optional<std::filesystem::path> input;
    std::optional<std::filesystem::path> output;
    plot::PlotOptions options;
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view name = arguments[i];
        if (name == "--help" || name == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (name.substr(0, 1) != "-") {
            if (input) return usage("more than one recording given");
            input = std::filesystem::u8path(name);
            continue;
        }
        const bool known = name == "-o" || name == "--output" || name == "--screen" || name == "--dwell-px" ||
                           name == "--dwell-ms";
        if (!known) return usage("unknown option " + std::string(name));
        if (i + 1 == arguments.size()) return usage(std::string(name) + ": missing value");
        const std::string_view value = arguments[++i];
        if (name == "-o" || name == "--output") {
            output = std::filesystem::u8path(value);
        } else if (name == "--screen") {
            const std::size_t x = value.find('x');
            const auto width = x == std::string_view::npos ? std::nullopt
                                                           : numberIn<std::int32_t>(value.substr(0, x), 1, 100000);
            const auto height = x == std::string_view::npos
                                    ? std::nullopt
                                    : numberIn<std::int32_t>(value.substr(x + 1), 1, 100000);
            if (!width || !height) return usage("--screen: expects WIDTHxHEIGHT in pixels");
            options.screenWidth = *width;
            options.screenHeight = *height;
        } else if (name == "--dwell-px") {
            const auto px = numberIn<double>(value, 1, 100000);
            if (!px) return usage("--dwell-px: expects 1 to 100000");
            options.dwell.maxDispersionPx = *px;
        } else if (name == "--dwell-ms") {
            const auto ms = numberIn<std::int64_t>(value, 1, 3600000);
            if (!ms) return usage("--dwell-ms: expects 1 to 3600000");
            options.dwell.minDurationMicros = *ms * 1000;
        }
    }
    if (!input) return usage("no recording given");
    if (!output) output = std::filesystem::path(*input).replace_extension(".svg");

    const std::filesystem::path inputs[] = {*input};
    if (const auto refusal = tools::outputRefusal(*output, inputs, plot::kPictureKind)) {
        std::fprintf(stderr, "plot-recording: %s\n", refusal->c_str());
        return 2;
    }

    std::string error;
    const auto recording = tools::readRecording(*input, error);
    if (!recording) {
        std::fprintf(stderr, "plot-recording: %s\n", error.c_str());
        return 1;
    }
    for (const std::string& warning : tools::readingWarnings(*recording))
        std::fprintf(stderr, "plot-recording: warning: %s: %s\n", tools::pathText(*input).c_str(), warning.c_str());
    const std::u8string title = input->filename().u8string();
    options.title.assign(title.begin(), title.end());
    const std::string svg = plot::plotRecording(*recording, options);

    if (!tools::replaceFile(*output, svg, error)) {
        std::fprintf(stderr, "plot-recording: %s\n", error.c_str());
        return 1;
    }
    std::printf("plot-recording: %s, %s, %s -> %s\n", plot::counted(recording->samples.size(), "sample").c_str(),
                plot::counted(recording->triggers, "trigger").c_str(),
                plot::counted(recording->messages, "message").c_str(), tools::pathText(*output).c_str());
    return 0;
}
