#pragma once
// The host's side of the soak: one random host call per step on a tracker
// object, every method of IEyeTracker2 among them, with arguments in and out
// of range. It keeps the books the checks need: which recording files this
// host opened and which trigger and message lines it sent into each.
//
// One thread (the host's) calls everything. Natively the host calls the
// portable object; on Windows the registered COM object, through its vtable.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "recording_check.h"
#ifdef _WIN32
#include "host-session/eye_tracker2_com.h"  // first: windows.h without the SendMessage macro
#else
#include "tracker/tyvarion.h"
#endif
#include "platform/text.h"

namespace tyvarion::soak {

#ifdef _WIN32
using SoakTracker = host::IEyeTracker2;
#else
using SoakTracker = Tyvarion;
#endif

struct RecordingBooks {
    std::filesystem::path file;
    std::vector<ExpectedText> texts;
};

class SoakHost {
public:
    // Recording files appear in `folder`.
    SoakHost(SoakTracker& tracker, std::mt19937_64& random, std::filesystem::path folder);

    // One random call; returns its name, for a report of where a run hung.
    const char* step();
    // Fetches every queued event.
    void drain();

    const std::vector<RecordingBooks>& recordings() const { return recordings_; }
    // The first broken promise seen by the host, if any.
    const std::string& failure() const { return failure_; }
    std::uint64_t eventsFetched() const { return eventsFetched_; }
    // Every text line sent and every recording switch, with the status around
    // it, for the account of a failure.
    const std::vector<std::string>& log() const { return log_; }

private:
    void fail(const std::string& what);
    void checkStatus(LONG status);
    void fetch(LONG wanted);
    void setRecording(bool on);
    void sendText(bool trigger);
    LONG status();

    SoakTracker& tracker_;
    std::mt19937_64& random_;
    std::filesystem::path folder_;
    std::vector<RecordingBooks> recordings_;
    std::optional<std::size_t> openFile_;  // in recordings_
    std::vector<EyeTracker2GeneralData> events_;
    ULONGLONG lastEventTime_ = 0;
    std::uint64_t eventsFetched_ = 0;
    std::int32_t nextTrigger_ = 0;
    std::uint64_t nextMessage_ = 0;
    std::string failure_;
    std::vector<std::string> log_;
};

}  // namespace tyvarion::soak
