// recording-to-bids: a recording file as BIDS 1.11 eye-tracking data. See --help.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "command-line/command_line.h"
#include "recording-reader/recording_stream.h"
#include "recording-report/geometry_options.h"
#include "recording-to-bids/bids_export.h"

namespace {

const char* const kUsage =
    "usage: recording-to-bids RECORDING.csv --out DIR --subject S --task T [options]\n"
    "Writes the recording as BIDS 1.11 eye-tracking data into the data set DIR:\n"
    "sub-S[/ses-S]/beh/ holds the left eye (recording-eye1), the right eye\n"
    "(recording-eye2) and the binocular point (recording-eye3) as physio tables,\n"
    "the triggers and messages as physioevents and events, and the screen.\n"
    "  --session S             the session's label\n"
    "  --run N                 the run's index\n"
    "  --overwrite             replace an earlier export of the same run (never a file\n"
    "                          the export did not write, nor the recording itself)\n"
    "  --author NAME           an author of the data set, for a new dataset_description.json\n"
    "                          (repeatable)\n"
    "  --license ID            the data set's licence, for example CC0-1.0\n"
    "Missing samples (gaps in the index) become rows of n/a on the sampling grid. A\n"
    "recording whose time stamps fall or whose index restarts is refused: split it.\n"
    "Exit status 2 for a refused command line or output, 1 when nothing could be\n"
    "exported.\n";

int usage(const std::string& error) { return tyvarion::tools::refuseCommandLine("recording-to-bids", error); }

std::string shown(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tyvarion::tools;
    std::optional<std::filesystem::path> out;
    BidsExportOptions options;
    std::vector<std::string> positionals;
    CommandLine line;
    line.positionals("recording", positionals);
    line.option("--out", [&](std::string_view value) {
        out = std::filesystem::u8path(value);
        return std::string();
    });
    for (const char* name : {"--subject", "--task", "--session"}) {
        line.option(name, [&options, name](std::string_view value) {
            std::string problem = labelProblem(name, value);
            if (problem.empty()) {
                const std::string_view option = name;
                (option == "--subject" ? options.entities.subject
                 : option == "--task"  ? options.entities.task
                                       : options.entities.session.emplace()) = std::string(value);
            }
            return problem;
        });
    }
    line.option("--run", [&](std::string_view value) {
        std::string problem = runProblem(value);
        if (problem.empty()) options.entities.run = std::string(value);
        return problem;
    });
    line.flag("--overwrite", options.overwrite);
    line.repeatable("--author", [&](std::string_view value) {
        if (value.empty()) return std::string("--author: expects a name");
        options.credits.authors.emplace_back(value);
        return std::string();
    });
    line.option("--license", [&](std::string_view value) {
        if (value.empty()) return std::string("--license: expects a licence, for example CC0-1.0");
        options.credits.license = std::string(value);
        return std::string();
    });
    addGeometryOptions(line, options.screen);
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    if (const auto error = line.parse(arguments)) return usage(*error);
    if (line.helpRequested()) {
        std::printf("%s%s", kUsage, kGeometryUsage);
        return 0;
    }
    const auto given = oneRecording(positionals);
    if (const auto* problem = std::get_if<std::string>(&given)) return usage(*problem);
    const std::filesystem::path input = std::get<std::filesystem::path>(given);
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
        if (!tyvarion::tools::openRecording(input, probe, error)) {
            std::fprintf(stderr, "recording-to-bids: %s\n", error.c_str());
            return 1;
        }
        tyvarion::tools::RecordingStream header(probe);
        header.next();
        if (!header.recognised()) {
            std::fprintf(stderr, "recording-to-bids: %s\n", tyvarion::tools::notARecording(input).c_str());
            return 1;
        }
    }
    std::ifstream file(input, std::ios::binary);
    if (!file.is_open()) {
        std::fprintf(stderr, "recording-to-bids: cannot open %s\n", shown(input).c_str());
        return 1;
    }
    options.inputs = {input};
    BidsExportFailure failure;
    const auto result = exportToBids(file, options, failure);
    if (!result) {
        if (failure.refused) {
            std::fprintf(stderr, "recording-to-bids: %s\n", failure.message.c_str());
            return 2;
        }
        std::fprintf(stderr, "recording-to-bids: %s: %s\n", shown(input).c_str(), failure.message.c_str());
        return 1;
    }
    for (const std::string& warning : result->warnings)
        std::fprintf(stderr, "recording-to-bids: warning: %s: %s\n", shown(input).c_str(), warning.c_str());
    if (result->wroteDescription && (options.credits.authors.empty() || options.credits.license.empty())) {
        std::fprintf(stderr,
                     "recording-to-bids: note: the new dataset_description.json names no %s (--author, "
                     "--license; BIDS recommends both)\n",
                     options.credits.authors.empty() && options.credits.license.empty() ? "authors and no licence"
                     : options.credits.authors.empty()                                  ? "authors"
                                                                                        : "licence");
    }
    const auto count = [](std::uint64_t n, const char* noun) {
        return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
    };
    const std::string missing =
        result->missingRows ? " (and " + std::to_string(result->missingRows) + " missing as rows of n/a)" : "";
    std::printf("recording-to-bids: %s%s at %g Hz, %s, %s -> %s\n", count(result->samples, "sample").c_str(),
                missing.c_str(), result->samplingFrequencyHz, count(result->triggers, "trigger").c_str(),
                count(result->messages, "message").c_str(), shown(result->folder).c_str());
    return 0;
}
