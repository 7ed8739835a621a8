#include "host-session/session.h"

#include <chrono>
#include <cstdlib>
#include <deque>
#include <thread>
#include <utility>
#include <vector>

#include "net/endpoint.h"

namespace tyvarion::host {
namespace {

using Clock = std::chrono::steady_clock;

constexpr LONG kStatusWhileRecording = statusCode(true, true, true);

const char* typeName(EyeTracker2DataType type) {
    return type == ET2_DT_POSITION ? "ET2_DT_POSITION" : "ET2_DT_PUPIL";
}

const char* eyeName(EyeTracker2EyeType eye) {
    switch (eye) {
        case ET2_ET_LEFT: return "ET2_ET_LEFT";
        case ET2_ET_RIGHT: return "ET2_ET_RIGHT";
        default: return "ET2_ET_DEFAULT";
    }
}

olestring widen(std::string_view ascii) {
    olestring text;
    for (char c : ascii) text.push_back(static_cast<OLECHAR>(static_cast<unsigned char>(c)));
    return text;
}

std::string hexStatus(LONG status) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%02lX", static_cast<unsigned long>(static_cast<ULONG>(status)));
    return text;
}

bool refused(const Reply& reply) { return reply.result != S_OK || !reply.message.empty(); }

std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// The time since the last sample of a trial (or its start), and the stretches
// longer than kStallLimit, each reported once.
class StallWatch {
public:
    StallWatch(int trial, Clock::time_point start) : trial_(trial), start_(start), lastSample_(start) {}

    // True once, when the time without a sample first exceeds the limit.
    bool stalledSince(Clock::time_point now) {
        if (stalled_ || now - lastSample_ <= kStallLimit) return false;
        stalled_ = true;
        return true;
    }
    void sampleArrived(Clock::time_point now, std::vector<Stall>& stalls) {
        end(now, stalls);
        lastSample_ = now;
    }
    void end(Clock::time_point now, std::vector<Stall>& stalls) {
        if (stalled_) stalls.push_back(Stall{trial_, fromSeconds(), secondsBetween(lastSample_, now)});
        stalled_ = false;
    }
    double fromSeconds() const { return secondsBetween(start_, lastSample_); }

private:
    static double secondsBetween(Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double>(b - a).count();
    }

    int trial_;
    Clock::time_point start_;
    Clock::time_point lastSample_;
    bool stalled_ = false;
};

class Session {
public:
    Session(HostTracker& tracker, const SessionOptions& options, SessionLog& log,
            const std::atomic<bool>& stopRequested)
        : tracker_(tracker), options_(options), log_(log), stopRequested_(stopRequested) {}

    SessionReport run() {
        if (prepare()) {
            if (stopped())
                interrupt(0);
            else
                runTrials();
        }
        finish();
        return std::move(report_);
    }

private:
    bool prepare() {
        const HRESULT display = tracker_.setDisplayMode(options_.displayWidth, options_.displayHeight);
        const std::string displayCall = "SetDisplayMode(" + std::to_string(options_.displayWidth) +
                                        ", " + std::to_string(options_.displayHeight) + ")";
        log_.call(displayCall, display);
        if (display != S_OK) return refuse(displayCall, Reply{display, {}});

        for (const EventKindInfo& kind : kEventKindInfo) {
            const std::string call =
                std::string("StartData(") + typeName(kind.type) + ", " + eyeName(kind.eye) + ")";
            if (!accept(call, tracker_.startData(kind.type, kind.eye))) return false;
        }
        ULONGLONG now = 0;
        if (tracker_.getTime(now) == S_OK) report_.trackingStartMicros = now;
        if (!accept("SetTracking(true)", tracker_.setTracking(true))) return false;
        tracking_ = true;
        if (!accept("Calibrate(ET2_CT_CALIBRATE)", tracker_.calibrate(ET2_CT_CALIBRATE))) return false;
        if (!accept("SetRecording(true)", tracker_.setRecording(true))) return false;
        recording_ = true;
        report_.recordingStarted = true;
        return true;
    }

    void runTrials() {
        const auto period = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(1.0 / options_.frameRateHz));
        const auto trialLength = std::chrono::milliseconds(options_.trialMs);
        for (int trial = 1; trial <= options_.trials; ++trial) {
            if (stopped()) return interrupt(trial - 1);
            report_.trialsStarted = trial;
            log_.call("SendTrigger(" + std::to_string(trial) + ")", tracker_.sendTrigger(trial));
            ++report_.triggersSent;
            const std::string message = "trial " + std::to_string(trial) + " start";
            log_.call("SendString(\"" + message + "\")", tracker_.sendString(widen(message)));
            ++report_.messagesSent;

            const auto start = Clock::now();
            auto nextFrame = start;
            EventRate rate;
            ProgressState state{trial, options_.trials, 0, std::nullopt, std::nullopt, 0};
            StallWatch stall(trial, start);
            for (;;) {
                const LONG fetched = poll();
                const auto now = Clock::now();
                if (fetched > 0) {
                    stall.sampleArrived(now, report_.stalls);
                } else if (status_ == kStatusWhileRecording && stall.stalledSince(now)) {
                    log_.line("trial " + std::to_string(trial) + "/" + std::to_string(options_.trials) +
                              ": no sample for over " + std::to_string(kStallLimit.count() / 1000) +
                              " s while connected (status 0x0F), since " + seconds(stall.fromSeconds()) +
                              " s into the trial");
                }
                rate.add(now, fetched);
                state.elapsedSeconds = std::chrono::duration<double>(now - start).count();
                state.eventsPerSecond = rate.perSecond();
                state.gaze = report_.received.lastGaze();
                state.status = status_.value_or(0);
                if (status_ != kStatusWhileRecording) {
                    stall.end(now, report_.stalls);
                    log_.progress().finish(state);
                    return endTracking(explainStatus(status_.value_or(0), trial));
                }
                if (now - start >= trialLength) {
                    stall.end(now, report_.stalls);
                    break;
                }
                if (stopped()) {
                    stall.end(now, report_.stalls);
                    log_.progress().finish(state);
                    return interrupt(trial);
                }
                log_.progress().update(state, now);
                // Frames keep their rhythm; a late frame is not caught up with a burst.
                nextFrame += period;
                if (nextFrame <= now) nextFrame = now + period;
                std::this_thread::sleep_until(std::min(nextFrame, start + trialLength));
            }
            log_.progress().finish(state);
        }
    }

    // Switches off what was switched on, then collects the events still queued.
    void finish() {
        if (recording_) {
            const Reply reply = tracker_.setRecording(false);
            log_.call("SetRecording(false)", reply.result, reply.message);
            // S_OK with a message is no refusal: the plug-in's account of an
            // incomplete file.
            report_.recordingStopRefused = reply.result != S_OK;
            if (!report_.recordingStopRefused) report_.recordingStopMessage = reply.message;
        }
        if (tracking_) {
            const Reply reply = tracker_.setTracking(false);
            log_.call("SetTracking(false)", reply.result, reply.message);
        }
        if (report_.end != SessionEnd::refused) poll();
    }

    // One frame of the host: fetch what is queued, note the time and status.
    // Returns the number of events fetched.
    LONG poll() {
        LONG count = 0;
        HRESULT result = tracker_.getEventCount(count);
        if (result != S_OK) log_.call("GetEventCount", result);
        LONG fetched = 0;
        if (result == S_OK && count > 0) {
            buffer_.resize(static_cast<std::size_t>(count));
            fetched = count;
            result = tracker_.getEvents(fetched, buffer_.data());
            ULONGLONG now = 0;
            const HRESULT timeResult = tracker_.getTime(now);
            if (result != S_OK) log_.call("GetEvents", result);
            if (timeResult != S_OK) log_.call("GetTime", timeResult);
            if (result == S_OK && fetched > 0 && fetched <= count)
                report_.received.add(std::span(buffer_.data(), static_cast<std::size_t>(fetched)), now);
            else
                fetched = 0;
        }
        LONG status = 0;
        result = tracker_.getStatus(status);
        if (result == S_OK)
            status_ = status;
        else
            log_.call("GetStatus", result);
        return fetched;
    }

    bool accept(const std::string& call, const Reply& reply) {
        log_.call(call, reply.result, reply.message);
        if (!refused(reply)) return true;
        return refuse(call, reply);
    }

    bool refuse(const std::string& call, const Reply& reply) {
        const Reply lastError = tracker_.getLastError();
        log_.call("GetLastError", lastError.result, lastError.message);
        LONG status = 0;
        const HRESULT statusResult = tracker_.getStatus(status);
        log_.line("GetStatus -> " + resultName(statusResult) + ", status " + hexStatus(status));
        std::optional<std::string> server;
        if (const char* value = std::getenv(sim::kServerVariable)) server = value;
        report_.end = SessionEnd::refused;
        report_.explanation = explainRefusal(call, reply,
                                             statusResult == S_OK ? std::optional<LONG>(status) : std::nullopt,
                                             server, tracker_.clientLibrary());
        return false;
    }

    void endTracking(std::string explanation) {
        report_.end = SessionEnd::trackingEnded;
        report_.explanation = std::move(explanation);
    }

    void interrupt(int trial) {
        report_.end = SessionEnd::interrupted;
        report_.explanation = trial == 0 ? "interrupted before the first trial"
                                         : "interrupted during trial " + std::to_string(trial);
    }

    bool stopped() const { return stopRequested_.load(); }

    HostTracker& tracker_;
    const SessionOptions& options_;
    SessionLog& log_;
    const std::atomic<bool>& stopRequested_;
    SessionReport report_;
    bool tracking_ = false;
    bool recording_ = false;
    std::optional<LONG> status_;
    std::vector<EyeTracker2GeneralData> buffer_;
};

}  // namespace

std::string resultName(HRESULT result) {
    if (result == S_OK) return "S_OK";
    if (result == S_FALSE) return "S_FALSE";
    if (result == E_NOTIMPL) return "E_NOTIMPL";
    char text[24];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(static_cast<ULONG>(result)));
    return text;
}

void SessionLog::call(std::string_view call, HRESULT result, std::string_view message) {
    progress_.breakLine();
    const std::string name = resultName(result);
    if (message.empty())
        std::fprintf(output_, "%-44.*s %s\n", static_cast<int>(call.size()), call.data(), name.c_str());
    else
        std::fprintf(output_, "%-44.*s %-8s \"%.*s\"\n", static_cast<int>(call.size()), call.data(),
                     name.c_str(), static_cast<int>(message.size()), message.data());
    std::fflush(output_);
}

void SessionLog::line(std::string_view text) {
    progress_.breakLine();
    std::fprintf(output_, "%.*s\n", static_cast<int>(text.size()), text.data());
    std::fflush(output_);
}

SessionReport runSession(HostTracker& tracker, const SessionOptions& options, SessionLog& log,
                         const std::atomic<bool>& stopRequested) {
    return Session(tracker, options, log, stopRequested).run();
}

std::string explainRefusal(std::string_view call, const Reply& reply, std::optional<LONG> status,
                           const std::optional<std::string>& serverVariable, const ClientLibraryInUse& library) {
    std::string text = "the plug-in refused " + std::string(call) + " with " + resultName(reply.result);
    if (!reply.message.empty()) text += ": \"" + reply.message + "\"";
    text += ".";
    if (status != kStatusNotConnected) return text;
    text += "\nIt is not connected to the eye-tracking server (GetStatus 0x40): it connects once, when it is created,";
    switch (library.kind) {
        case ClientLibraryInUse::Kind::simulated:
            text += " and the server did not answer then. Start the server first (tyvarion-sim-server; scripts/demo"
                    " starts one) and make sure TYVARION_SERVER names it";
            text += serverVariable ? " (it is \"" + *serverVariable + "\")."
                                   : " (it is not set, so 127.0.0.1:" + std::to_string(sim::kDefaultPort) +
                                         " is tried).";
            break;
        case ClientLibraryInUse::Kind::maker:
            text += " through the maker's client library " + library.file +
                    ", and the tracker's server did not answer then. Start the tracker and its server"
                    " (the maker's software) first, and see that this PC reaches it.";
            break;
        case ClientLibraryInUse::Kind::none:
            text += " but no client library is loaded: " + library.file + " was looked for in " + library.lookedIn +
                    ". Put the maker's " + library.file +
                    " beside TyvarionNBS.dll and check it with client-library-check; the plug-in's"
                    " debugger line (DebugView) says why it was not taken.";
            break;
    }
    return text;
}

std::string explainStatus(LONG status, int trial) {
    const std::string during = " during trial " + std::to_string(trial);
    if (status == kStatusNotConnected)
        return "the connection to the eye-tracking server was lost" + during + " (GetStatus 0x40).";
    if ((status & kStatusTracking) != kStatusTracking)
        return "the eye-tracking server stopped tracking" + during + " (GetStatus " + hexStatus(status) + ").";
    if ((status & kStatusRecordingBit) == 0)
        return "recording stopped" + during + " (GetStatus " + hexStatus(status) + ").";
    return "unexpected status" + during + " (GetStatus " + hexStatus(status) + ").";
}

}  // namespace tyvarion::host
