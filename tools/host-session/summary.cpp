#include "host-session/summary.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "recording-reader/recording_reader.h"

namespace tyvarion::host {
namespace {

void row(std::string& text, const char* label, const std::string& value) {
    char line[512];
    std::snprintf(line, sizeof line, "  %-30s %s\n", label, value.c_str());
    text += line;
}

void row(std::string& text, const char* label, std::uint64_t value) {
    row(text, label, std::to_string(value));
}

std::string milliseconds(std::int64_t micros) {
    char text[32];
    std::snprintf(text, sizeof text, "%8.2f ms", static_cast<double>(micros) / 1000.0);
    return text;
}

std::string pathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// True when the samples' time stamps can be compared with GetTime.
bool onHostClock(const SessionReport& report) {
    const auto& times = report.received.sampleTimes();
    if (report.trackingStartMicros && !times.empty()) {
        const std::uint64_t first = *std::min_element(times.begin(), times.end());
        if (first + kClockToleranceMicros < *report.trackingStartMicros) return false;
    }
    return distribution(report.received.delays()).median >= -kClockToleranceMicros;
}

}  // namespace

void countRecording(const tools::Recording& recording, const ReceivedData& received,
                    RecordingCheck& check) {
    check.sampleLines = recording.samples.size();
    check.triggerLines = recording.triggers;
    check.messageLines = recording.messages;
    check.missingSamples = tools::missingSamples(recording.samples);
    std::vector<std::uint64_t> times = received.sampleTimes();
    std::sort(times.begin(), times.end());
    for (const tools::RecordedSample& sample : recording.samples) {
        const bool hasValue = sample.gaze || sample.left || sample.right || sample.pupilLeftMm ||
                              sample.pupilRightMm;
        if (!hasValue) continue;
        ++check.linesWithValue;
        if (std::binary_search(times.begin(), times.end(), static_cast<std::uint64_t>(sample.timeMicros)))
            ++check.linesReceived;
    }
}

RecordingCheck checkRecording(const RecordingLocator& locator, const ReceivedData& received) {
    RecordingCheck check;
    const auto found = locator.newRecordings();
    if (found.empty()) {
        check.problem = "no new recording in " + pathText(locator.folder());
        return check;
    }
    // The plug-in does not name its file, and another host may record into the
    // same folder meanwhile (even within the same second, "-2"): the session's
    // file is the one holding the samples this host received.
    std::optional<RecordingCheck> best;
    std::string bestError;
    for (const std::filesystem::path& path : found) {
        RecordingCheck candidate;
        candidate.path = path;
        std::string error;
        const auto recording = tools::readRecording(path, error);
        if (recording) {
            countRecording(*recording, received, candidate);
            for (const std::string& warning : tools::readingWarnings(*recording)) {
                candidate.problem += (candidate.problem.empty() ? "" : "; ") + warning;
                candidate.incomplete += (candidate.incomplete.empty() ? "" : "; ") + warning;
            }
        } else {
            candidate.incomplete = error;
        }
        // Newer files win ties: found is oldest first.
        if (!best || candidate.linesReceived >= best->linesReceived) {
            best = std::move(candidate);
            bestError = recording ? std::string() : error;
        }
    }
    check = std::move(*best);
    if (!bestError.empty()) check.problem = bestError;
    if (found.size() > 1 && check.linesReceived == 0) {
        const std::string note = std::to_string(found.size()) +
                                 " new recordings appeared and none holds a sample this session received; "
                                 "the newest is shown";
        check.problem = check.problem.empty() ? note : note + "; " + check.problem;
    }
    return check;
}

std::optional<std::string> incompleteRecording(const SessionReport& report,
                                               const std::optional<RecordingCheck>& recording) {
    if (!report.recordingStarted) return std::nullopt;
    const bool fileSaysSo = recording && !recording->incomplete.empty();
    if (report.recordingStopMessage.empty() && !fileSaysSo) return std::nullopt;
    std::string text = "the recording is incomplete: ";
    if (!report.recordingStopMessage.empty())
        text += "SetRecording(false) answered \"" + report.recordingStopMessage + "\"; ";
    if (!recording || !recording->path) {
        text += "the file was not found";
    } else if (fileSaysSo) {
        text += "in the file: " + recording->incomplete;
    } else {
        text += "the file holds " + std::to_string(recording->sampleLines) +
                (recording->sampleLines == 1 ? " sample line" : " sample lines") + " and ends with a whole line";
    }
    return text;
}

std::string formatSummary(const SessionOptions& options, const SessionReport& report,
                          const std::optional<RecordingCheck>& recording) {
    std::string text = "summary\n";
    char trials[160];
    std::snprintf(trials, sizeof trials, "%d of %d (%d ms each, host polling at %g Hz)",
                  report.trialsStarted, options.trials, options.trialMs, options.frameRateHz);
    row(text, "trials", trials);
    for (const Stall& stall : report.stalls) {
        char value[128];
        std::snprintf(value, sizeof value, "trial %d: no sample for %.2f s from %.2f s, while connected", stall.trial,
                      stall.lengthSeconds, stall.fromSeconds);
        row(text, "  stream stalled", value);
    }
    const ReceivedData& received = report.received;
    row(text, "samples received", received.samples());
    row(text, "events received", received.events());
    for (std::size_t i = 0; i < kEventKinds; ++i) {
        const std::string label = "  " + std::string(kEventKindInfo[i].name);
        row(text, label.c_str(), received.eventsOf(static_cast<EventKind>(i)));
    }
    if (received.otherEvents() != 0) row(text, "  other kinds", received.otherEvents());
    row(text, "triggers sent", report.triggersSent);
    row(text, "messages sent", report.messagesSent);

    if (recording) {
        row(text, "recording file", recording->path ? pathText(*recording->path) : "(not found)");
        if (!recording->problem.empty()) row(text, "  note", recording->problem);
        if (recording->path) {
            row(text, "  sample lines", recording->sampleLines);
            row(text, "  trigger lines", recording->triggerLines);
            row(text, "  message lines", recording->messageLines);
            row(text, "  samples missing", std::to_string(recording->missingSamples) + " (gaps in index)");
            row(text, "  received by the host",
                std::to_string(recording->linesReceived) + " of " + std::to_string(recording->linesWithValue) +
                    " lines with a value");
        }
    }

    const DelayDistribution delays = distribution(received.delays());
    text += "delay from a sample's time stamp to the host's GetEvents (clock: GetTime), " +
            std::to_string(delays.count) + (delays.count == 1 ? " sample\n" : " samples\n");
    if (delays.count == 0) {
        text += "  no sample received\n";
    } else if (!onHostClock(report)) {
        text += "  not measured: the samples' time stamps are not on this machine's clock\n"
                "  (a replayed recording keeps the times it was recorded with)\n";
    } else {
        row(text, "median", milliseconds(delays.median));
        row(text, "95th percentile", milliseconds(delays.p95));
        row(text, "99th percentile", milliseconds(delays.p99));
        row(text, "maximum", milliseconds(delays.maximum));
    }
    return text;
}

}  // namespace tyvarion::host
