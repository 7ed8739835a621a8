// host-session: drives the eye-tracker plug-in the way the experiment host
// does and reports what came back. See --help.
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "command-line/command_line.h"
#include "host-session/console.h"
#include "host-session/host_tracker.h"
#include "host-session/options.h"
#include "host-session/recording_locator.h"
#include "host-session/session.h"
#include "host-session/summary.h"
#include "output-file/output_file.h"

namespace {

constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

// What --recording-path-file writes: one line, the path of a recording.
const tyvarion::tools::OutputKind kPathFileKind{
    "a recording's path written by host-session", [](std::string_view head) {
        const std::size_t end = head.find('\n');
        return end != std::string_view::npos && end + 1 == head.size() && head.substr(0, end).ends_with(".csv");
    }};

// Lives as long as the signal handler may use it.
std::atomic<bool> stopRequested{false};

}  // namespace

int main(int argc, char** argv) {
    using namespace tyvarion::host;
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    auto parsed = parseOptions(arguments);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        return tyvarion::tools::refuseCommandLine("host-session", *error);
    }
    const SessionOptions options = std::get<SessionOptions>(parsed);
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const auto pathFile = std::filesystem::u8path(options.recordingPathFile);
    if (!options.recordingPathFile.empty()) {
        if (const auto refusal = tyvarion::tools::outputRefusal(pathFile, {}, kPathFileKind)) {
            std::fprintf(stderr, "host-session: %s\n", refusal->c_str());
            return kExitUsage;
        }
    }
    installInterruptHandler(stopRequested);

    std::printf("host-session: %d trial%s of %d ms, host polling at %g Hz, display %ldx%ld\n",
                options.trials, options.trials == 1 ? "" : "s", options.trialMs, options.frameRateHz,
                static_cast<long>(options.displayWidth), static_cast<long>(options.displayHeight));
    std::fflush(stdout);

    RecordingLocator locator;
    locator.snapshot();
    SessionLog log(stdout, isTerminal(stdout));
    SessionReport report;
    {
        CreateResult created = createHostTracker(options.binding);
        if (!created.tracker) {
            std::fprintf(stderr, "host-session: %s\n", created.error.c_str());
            return kExitRefused;
        }
        log.line("tracker object: " + created.tracker->description());
        report = runSession(*created.tracker, options, log, stopRequested);
        log.line("releasing the tracker object");
    }  // the last reference goes: the plug-in closes its recording file

    bool recordingIncomplete = false;
    if (report.trialsStarted > 0) {
        std::optional<RecordingCheck> recording;
        if (report.recordingStarted) recording = checkRecording(locator, report.received);
        if (report.recordingStopRefused) {
            // The refusal is the plug-in's documented answer; the file was closed all the same.
            const std::string where = recording && recording->path ? tyvarion::tools::pathText(*recording->path)
                                                                   : tyvarion::tools::pathText(locator.folder());
            log.line("SetRecording(false) was refused, since the connection was lost; the plug-in closed the "
                     "recording file when the tracker object was released: " + where);
        }
        std::fputs(formatSummary(options, report, recording).c_str(), stdout);
        std::fflush(stdout);
        std::string error;
        if (!options.recordingPathFile.empty() && recording && recording->path &&
            !tyvarion::tools::replaceFile(pathFile, tyvarion::tools::pathText(*recording->path) + "\n", error)) {
            std::fprintf(stderr, "host-session: %s\n", error.c_str());
            return kExitRefused;
        }
        if (const auto incomplete = incompleteRecording(report, recording)) {
            std::fprintf(stderr, "host-session: %s\n", incomplete->c_str());
            recordingIncomplete = true;
        }
    }
    switch (report.end) {
        case SessionEnd::completed: return recordingIncomplete ? kExitRefused : 0;
        case SessionEnd::interrupted:
            std::fprintf(stderr, "host-session: %s\n", report.explanation.c_str());
            return kExitInterrupted;
        case SessionEnd::refused:
        case SessionEnd::trackingEnded:
            std::fprintf(stderr, "host-session: %s\n", report.explanation.c_str());
            return kExitRefused;
    }
    return kExitRefused;
}
