#pragma once
// The end of a session: what the recording file holds, checked against what
// the host sent and received, and the timing report. Pure formatting apart
// from reading the file.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "host-session/options.h"
#include "host-session/recording_locator.h"
#include "host-session/session.h"
#include "recording-reader/recording_reader.h"

namespace tyvarion::host {

struct RecordingCheck {
    std::optional<std::filesystem::path> path;
    std::string problem;  // why there is no path or no content; empty when read
    std::uint64_t sampleLines = 0;
    std::uint64_t triggerLines = 0;
    std::uint64_t messageLines = 0;
    std::int64_t missingSamples = 0;  // gaps in index
    // Sample lines with a value the host asked for (blinks have none), and
    // how many of those the host received events for, by time stamp.
    std::uint64_t linesWithValue = 0;
    std::uint64_t linesReceived = 0;
    // What the file itself shows of an incomplete recording (no header, a
    // cut-off last line, unreadable lines); empty when it looks whole.
    std::string incomplete;
};

// Finds the session's recording among the new ones (the one holding the
// samples the host received; the newest when none does), counts its lines and
// checks them against what the host received.
RecordingCheck checkRecording(const RecordingLocator& locator, const ReceivedData& received);

// Counts the recording's lines into `check`.
void countRecording(const tools::Recording& recording, const ReceivedData& received,
                    RecordingCheck& check);

// Samples stamped this long before tracking started, or delays this far below
// zero, carry times from another clock: a replayed recording keeps the times
// it was recorded with.
inline constexpr std::int64_t kClockToleranceMicros = 1'000'000;

// Why the recording the session made is incomplete, from the plug-in's stop
// message and the file; nothing when neither says so.
std::optional<std::string> incompleteRecording(const SessionReport& report,
                                               const std::optional<RecordingCheck>& recording);

std::string formatSummary(const SessionOptions& options, const SessionReport& report,
                          const std::optional<RecordingCheck>& recording);

}  // namespace tyvarion::host
