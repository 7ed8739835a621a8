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
#include "recording-reader/recording_stream.h"

namespace {

const char* const kUsage =
    "usage: plot-recording RECORDING.csv [options]\n"
    "Writes one self-contained SVG: the gaze of both eyes on the screen with\n"
    "fixation-like dwells (where the gaze was, shaded, when a path would be a\n"
    "tangle), the triggers and messages on the time axis, the gaze's x and y over\n"
    "time, and the pupil diameters over time. Any length of recording gives a\n"
    "picture of about the same size: the lines over time keep what its width can\n"
    "show, and every trigger and message is drawn.\n"
    "  -o, --output FILE.svg   where to write (default: the recording's name with .svg);\n"
    "                          never the recording itself, nor an existing file that\n"
    "                          is not a picture written by plot-recording\n"
    "  --per-trial             also one picture per trial, from a trigger to the next:\n"
    "                          FILE-trial-1.svg, FILE-trial-2.svg, ... beside the output\n"
    "  --screen WxH            the screen the gaze was recorded on (default 1920x1080)\n"
    "  --dwell-px PX           largest spread of a dwell, x plus y (default 40)\n"
    "  --dwell-ms MS           shortest dwell (default 100)\n"
    "Exit status: 0 when the pictures were written (warnings about lines left out go\n"
    "to standard error), 1 when the recording cannot be read or is not one, or a\n"
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
    bool perTrial = false;
    line.flag("--per-trial", perTrial);
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

    std::ifstream file;
    std::string error;
    if (!tools::openRecording(input, file, error)) {
        std::fprintf(stderr, "plot-recording: %s\n", error.c_str());
        return 1;
    }
    const std::u8string name = input.filename().u8string();
    options.title.assign(name.begin(), name.end());

    // One pass, one line at a time: a recording of any length takes the same memory.
    tools::RecordingStream stream(file);
    plot::Picture whole(options);
    std::optional<plot::Picture> trial;
    int trials = 0;
    std::filesystem::path stem = *output;
    stem.replace_extension();
    // Returns the exit status of a failure, or 0.
    const auto finishTrial = [&]() -> int {
        if (!trial) return 0;
        std::filesystem::path path = stem;
        path += "-trial-" + std::to_string(trials) + ".svg";
        if (const auto refusal = tools::outputRefusal(path, inputs, plot::kPictureKind)) {
            std::fprintf(stderr, "plot-recording: %s\n", refusal->c_str());
            return 2;
        }
        if (!tools::replaceFile(path, trial->draw(), error)) {
            std::fprintf(stderr, "plot-recording: %s\n", error.c_str());
            return 1;
        }
        std::printf("plot-recording: trial %d: %s, %s -> %s\n", trials, plot::counted(trial->samples(), "sample").c_str(),
                    plot::counted(trial->messages(), "message").c_str(), tools::pathText(path).c_str());
        trial.reset();
        return 0;
    };
    while (stream.next()) {
        if (stream.atSample()) {
            whole.addSample(stream.sample());
            if (trial) trial->addSample(stream.sample());
            continue;
        }
        const tools::TextLine& text = stream.text();
        if (perTrial && text.kind == tools::TextKind::trigger) {
            if (const int status = finishTrial()) return status;
            plot::PlotOptions trialOptions = options;
            trialOptions.title += ", trial " + std::to_string(++trials) + " (trigger " + text.value + ")";
            trial.emplace(trialOptions);
        }
        whole.addText(text, stream.previousSample());
        if (trial) trial->addText(text, stream.previousSample());
    }
    if (!stream.recognised()) {
        std::fprintf(stderr, "plot-recording: %s\n", tools::notARecording(input).c_str());
        return 1;
    }
    if (const int status = finishTrial()) return status;
    for (const std::string& warning : tools::readingWarnings(stream.cutOffBytes(), stream.unreadable()))
        std::fprintf(stderr, "plot-recording: warning: %s: %s\n", tools::pathText(input).c_str(), warning.c_str());

    if (!tools::replaceFile(*output, whole.draw(), error)) {
        std::fprintf(stderr, "plot-recording: %s\n", error.c_str());
        return 1;
    }
    std::printf("plot-recording: %s, %s, %s -> %s\n", plot::counted(whole.samples(), "sample").c_str(),
                plot::counted(whole.triggers(), "trigger").c_str(), plot::counted(whole.messages(), "message").c_str(),
                tools::pathText(*output).c_str());
    return 0;
}
