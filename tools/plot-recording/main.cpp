// plot-recording: one SVG picture of a recording file. See --help.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "command-line/command_line.h"
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

int usage(const std::string& error) { return tyvarion::tools::refuseCommandLine("plot-recording", error); }

}  // namespace

int main(int argc, char** argv) {
    using namespace tyvarion;
    std::optional<std::filesystem::path> output;
    plot::PlotOptions options;
    std::vector<std::string> positionals;
    tools::CommandLine line;
    line.positionals("recording", positionals);
    line.option("-o,--output", [&](std::string_view value) {
        output = std::filesystem::u8path(value);
        return std::string();
    });
    line.option("--screen", [&](std::string_view value) {
        const auto size = tools::sizeIn<std::int32_t>(value, 1, 100000);
        if (!size) return std::string("--screen: expects WIDTHxHEIGHT in pixels");
        options.screenWidth = size->first;
        options.screenHeight = size->second;
        return std::string();
    });
    line.option("--dwell-px", [&](std::string_view value) {
        const auto px = tools::numberIn<double>(value, 1, 100000);
        if (!px) return tools::expects("--dwell-px", "1 to 100000");
        options.dwell.maxDispersionPx = *px;
        return std::string();
    });
    line.option("--dwell-ms", [&](std::string_view value) {
        const auto ms = tools::numberIn<std::int64_t>(value, 1, 3600000);
        if (!ms) return tools::expects("--dwell-ms", "1 to 3600000");
        options.dwell.minDurationMicros = *ms * 1000;
        return std::string();
    });
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    if (const auto error = line.parse(arguments)) return usage(*error);
    if (line.helpRequested()) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const auto given = tools::oneRecording(positionals);
    if (const auto* problem = std::get_if<std::string>(&given)) return usage(*problem);
    const std::filesystem::path input = std::get<std::filesystem::path>(given);
    if (!output) output = std::filesystem::path(input).replace_extension(".svg");

    const std::filesystem::path inputs[] = {input};
    if (const auto refusal = tools::outputRefusal(*output, inputs, plot::kPictureKind)) {
        std::fprintf(stderr, "plot-recording: %s\n", refusal->c_str());
        return 2;
    }

    std::string error;
    const auto recording = tools::readRecording(input, error);
    if (!recording) {
        std::fprintf(stderr, "plot-recording: %s\n", error.c_str());
        return 1;
    }
    for (const std::string& warning : tools::readingWarnings(*recording))
        std::fprintf(stderr, "plot-recording: warning: %s: %s\n", tools::pathText(input).c_str(), warning.c_str());
    const std::u8string title = input.filename().u8string();
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
