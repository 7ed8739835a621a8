#pragma once
// Shared by the fault tests: a tracker object reached the way this build's
// host reaches it (the portable object natively, the registered COM object on
// Windows), a session that records against the simulated server, and the
// recording file read back.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host-session/host_tracker.h"
#include "recording-reader/recording_reader.h"

namespace faults {

using tyvarion::host::HostTracker;
using tyvarion::host::Reply;

inline constexpr const char* kNotConnected = "not connected to Tyvarion server";

// Creates the tracker object; fails the test when it cannot.
std::unique_ptr<HostTracker> createTracker();

// Selects every data kind, starts recording, then tracking, so that every
// sample of the stream belongs in the file.
void startRecordingSession(HostTracker& tracker);

// Fetches events until `samples` more samples have come (by time stamp),
// adding their time stamps to `times`; false when they did not come in time.
bool receiveSamples(HostTracker& tracker, std::size_t samples, std::set<std::uint64_t>& times);

// Fetches whatever is queued.
void drainEvents(HostTracker& tracker, std::set<std::uint64_t>& times);

// Polls GetStatus until it answers `status`; false when it never does.
bool waitForStatus(HostTracker& tracker, LONG status);

// The recording files in `folder`, oldest name first.
std::vector<std::filesystem::path> recordingFiles(const std::filesystem::path& folder);

// Whether some handle holds the file open (this process's, natively; any, on
// Windows, where an exclusive open then fails).
bool heldOpen(const std::filesystem::path& file);

// The whole file, and the file read as a recording.
std::string fileBytes(const std::filesystem::path& file);
tyvarion::tools::Recording readRecording(const std::filesystem::path& file);

// Empty when every line is whole (header, sample or text line, each with
// its line end) and the samples' index rises; otherwise what is wrong.
std::string complete(const std::filesystem::path& file);
// The same, and no sample is missing between the first and the last line.
std::string completeAndGapless(const std::filesystem::path& file);

// A Documents folder in which no sub-folder can be made.
std::filesystem::path unusableDocumentsFolder();

// host-session as this build made it, as a path the system starts.
std::string hostSessionProgram();

// A file system of a few hundred KiB, empty, for the life of the object.
// Natively a tmpfs this process mounts (where it may); under Wine the tmpfs
// the test's fixture mounted before the test (TYVARION_SMALL_DISK), reached on
// drive Z:. Without one, path() is empty and why() says what is missing.
class SmallDisk {
public:
    SmallDisk();
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    const std::filesystem::path& path() const { return path_; }
    const std::string& why() const { return why_; }

private:
    std::filesystem::path path_;
    std::string why_;
    bool mounted_ = false;
};

}  // namespace faults
