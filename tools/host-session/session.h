#pragma once
// One session as the experiment host runs it, against any HostTracker:
// display mode, data selection, tracking, calibration and recording, the
// trials with their trigger and message, polling at the host's frame rate,
// and the orderly way out, also after a refusal or an interruption.
//
// Runs on the calling thread; `stopRequested` may be set from a signal
// handler or another thread.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host-session/client_library_in_use.h"
#include "host-session/host_tracker.h"
#include "host-session/options.h"
#include "host-session/progress.h"
#include "host-session/session_stats.h"

namespace tyvarion::host {

// Where the session writes what happens: one line per call with its result
// code and message, and the live progress of the trials.
class SessionLog {
public:
    SessionLog(std::FILE* output, bool terminal) : output_(output), progress_(output, terminal) {}

    // "SetTracking(true)    S_FALSE  \"no eye tracking device connected\""
    void call(std::string_view call, HRESULT result, std::string_view message = {});
    void line(std::string_view text);
    ProgressDisplay& progress() { return progress_; }

private:
    std::FILE* output_;
    ProgressDisplay progress_;
};

// "S_OK", "S_FALSE", "E_NOTIMPL", else "0x8007000E".
std::string resultName(HRESULT result);

enum class SessionEnd {
    completed,
    refused,          // a method refused or failed
    trackingEnded,    // the status showed the connection or tracking gone
    interrupted,
};

// A stretch of a trial in which no sample with a value arrived while the
// plug-in said it was connected, tracking and recording: the stream stopped
// (or the tracker lost both eyes) without a device event.
inline constexpr std::chrono::milliseconds kStallLimit{1000};

struct Stall {
    int trial = 0;
    double fromSeconds = 0;  // into the trial
    double lengthSeconds = 0;
};

struct SessionReport {
    SessionEnd end = SessionEnd::completed;
    std::string explanation;  // why it ended early; empty when completed
    int trialsStarted = 0;
    std::uint64_t triggersSent = 0;
    std::uint64_t messagesSent = 0;
    bool recordingStarted = false;
    // SetRecording(false) was refused (the connection was lost): the plug-in
    // closes the file when the object is released.
    bool recordingStopRefused = false;
    // What an accepted SetRecording(false) answered at the end, when it said
    // anything: the plug-in's account of an incomplete file.
    std::string recordingStopMessage;
    std::vector<Stall> stalls;  // each longer than kStallLimit
    // GetTime just before tracking was switched on.
    std::optional<std::uint64_t> trackingStartMicros;
    ReceivedData received;
};

SessionReport runSession(HostTracker& tracker, const SessionOptions& options, SessionLog& log,
                         const std::atomic<bool>& stopRequested);

// Why the plug-in refused `call`, for the user. `status` is GetStatus's
// answer right after the refusal; `serverVariable` the value of
// TYVARION_SERVER, if set; `library` the client library the plug-in loaded.
std::string explainRefusal(std::string_view call, const Reply& reply, std::optional<LONG> status,
                           const std::optional<std::string>& serverVariable, const ClientLibraryInUse& library);

// Why the status during a trial is not that of tracking and recording.
std::string explainStatus(LONG status, int trial);

}  // namespace tyvarion::host
