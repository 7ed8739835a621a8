#pragma once
// One session as the experiment host runs it, against any HostTracker:
// display mode, data selection, tracking, calibration and recording, the
// trials with their trigger and message, polling at the host's frame rate,
// and the orderly way out, also after a refusal or an interruption.
//
// Runs on the calling thread; `stopRequested` may be set from a signal
// handler or another thread.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

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

struct SessionReport {
    SessionEnd end = SessionEnd::completed;
    std::string explanation;  // why it ended early; empty when completed
    int trialsStarted = 0;
    std::uint64_t triggersSent = 0;
    std::uint64_t messagesSent = 0;
    bool recordingStarted = false;
    // GetTime just before tracking was switched on.
    std::optional<std::uint64_t> trackingStartMicros;
    ReceivedData received;
};

SessionReport runSession(HostTracker& tracker, const SessionOptions& options, SessionLog& log,
                         const std::atomic<bool>& stopRequested);

// Why the plug-in refused `call`, for the user. `status` is GetStatus's
// answer right after the refusal; `serverVariable` the value of
// TYVARION_SERVER, if set.
std::string explainRefusal(std::string_view call, const Reply& reply, std::optional<LONG> status,
                           const std::optional<std::string>& serverVariable);

// Why the status during a trial is not that of tracking and recording.
std::string explainStatus(LONG status, int trial);

}  // namespace tyvarion::host
