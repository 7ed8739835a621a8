// recording-to-bids: a recording file as BIDS 1.11 eye-tracking data. See --help.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recording-reader/recording_stream.h"
#include "recording-to-bids/bids_export.h"

namespace {

const char* const kUsage =
    "usage: recording-to-bids RECORDING.csv --out DIR --subject S --task T [options]\n"
    "Writes the recording as BIDS 1.11 eye-tracking data into the data set DIR:\n"
    "sub-S[/ses-S]/beh/ holds the left eye (recording-eye1), the right eye\n"
    "(recording-eye2) and the binocular point (recording-eye3) as physio tables,\n"
    "the triggers and messages as physioevents and events, and the screen.\n"
    "  --session S             the session's label\n"
    "  --run N                 the run's index\n";

int usage(const std::string& error) {
    std::fprintf(stderr, "recording-to-bids: %s\n%s%s", error.c_str(), kUsage, tyvarion::tools::kGeometryUsage);
    return 2;
}

std::string shown(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tyvarion::tools;
    std::optional<std::filesystem::path> input;
    std::optional<std::filesystem::path> out;
    BidsExportOptions options;
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view name = arguments[i];
        if (name == "--help" || name == "-h") {
            std::printf("%s%s", kUsage, kGeometryUsage);
            return 0;
        }
        if (name.substr(0, 1) != "-") {
            if (input) return usage("more than one recording given");
            input = std::filesystem::u8path(name);
            continue;
        }
        if (i + 1 == arguments.size()) return usage(std::string(name) + ": missing value");
        const std::string_view value = arguments[++i];
        std::string error;
        if (takeGeometryOption(name, value, options.screen, error)) {
            if (!error.empty()) return usage(error);
        } else if (name == "--out") {
            out = std::filesystem::u8path(value);
        } else if (name == "--subject" || name == "--task" || name == "--session") {
            if (const std::string problem = labelProblem(name, value); !problem.empty()) return usage(problem);
            (name == "--subject" ? options.entities.subject
             : name == "--task"  ? options.entities.task
                                 : options.entities.session.emplace()) = std::string(value);
        } else if (name == "--run") {
            if (const std::string problem = runProblem(value); !problem.empty()) return usage(problem);
            options.entities.run = std::string(value);
        } else {
            return usage("unknown option " + std::string(name));
        }
    }
    if (!input) return usage("no recording given");
    if (!out) return usage("--out: the data set's folder is required");
    if (options.entities.subject.empty()) return usage("--subject is required");
    if (options.entities.task.empty()) return usage("--task is required");
    if (!options.screen.hasAngles()) {
        return usage("--screen-mm and --distance-mm are required: BIDS requires the screen's size and "
                     "distance for gaze on a screen");
    }
    options.root = *out;

    std::string error;
    {
        // Only a recording is exported: its header is read first.
        std::ifstream probe;
        if (!tyvarion::tools::openRecording(*input, probe, error)) {
            std::fprintf(stderr, "recording-to-bids: %s\n", error.c_str());
            return 1;
        }
        tyvarion::tools::RecordingStream header(probe);
        header.next();
        if (!header.recognised()) {
            std::fprintf(stderr, "recording-to-bids: %s\n", tyvarion::tools::notARecording(*input).c_str());
            return 1;
        }
    }
    std::ifstream file(*input, std::ios::binary);
    if (!file.is_open()) {
        std::fprintf(stderr, "recording-to-bids: cannot open %s\n", shown(*input).c_str());
        return 1;
    }
    const auto result = exportToBids(file, options, error);
    if (!result) {
        std::fprintf(stderr, "recording-to-bids: %s: %s\n", shown(*input).c_str(), error.c_str());
        return 1;
    }
    const auto count = [](std::uint64_t n, const char* noun) {
        return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
    };
    std::printf("recording-to-bids: %s at %g Hz, %s, %s -> %s\n", count(result->samples, "sample").c_str(),
                result->samplingFrequencyHz, count(result->triggers, "trigger").c_str(),
                count(result->messages, "message").c_str(), shown(result->folder).c_str());
    return 0;
}
