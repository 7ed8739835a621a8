#pragma once
// One end-to-end run at one rate: the simulated server streams a fixed number
// of samples through the client library into a tracker object that records
// every sample, while this thread polls the events as a host does at 60 Hz.

#include <cstdint>
#include <filesystem>

namespace tyvarion::e2e {

struct StreamOptions {
    std::int32_t rate = 0;         // samples per second
    std::int32_t seconds = 10;     // of streaming
    std::filesystem::path documents;  // the recording goes below it
    // The writer's wake mark and deadline, when not the built-in ones: to
    // measure the choice.
    std::int64_t writerWakeMark = 0;
    std::int64_t writerDeadlineMicros = -1;
};

// One thread's cost while the stream ran.
struct ThreadUse {
    double processorPercent = 0;  // of one core
    double wakeUpsPerSecond = 0;  // times it went to sleep and had to be woken
    double preemptionsPerSecond = 0;
};

// Plain data, so that a child process can hand it back through a pipe.
struct StreamResult {
    bool ok = false;
    char error[256] = {};
    std::int32_t rate = 0;
    std::uint64_t sent = 0;            // samples the server sent
    std::uint64_t eventsFetched = 0;   // by the host's GetEvents
    std::uint64_t samplesFetched = 0;  // samples that made at least one event
    std::uint64_t lines = 0;           // sample lines in the recording
    std::uint64_t missing = 0;         // samples sent without a line: gaps in index
    std::int64_t delayP50Micros = 0;   // sample time stamp to the host's fetch
    std::int64_t delayP99Micros = 0;
    std::int64_t delayMaxMicros = 0;
    std::uint64_t peakResidentKiB = 0;
    std::uint64_t residentGrowthKiB = 0;  // highest minus that after the first second
    std::uint64_t mostEventsQueued = 0;   // found by the host at one poll
    double processorMicrosPerSample = 0;  // every thread of this process
    double teardownMillis = 0;            // releasing the object
    // Each of the plug-in's threads while the server streamed: the writer,
    // the client library's (which runs sample intake), and the host's.
    ThreadUse writer;
    ThreadUse client;
    ThreadUse host;
};

StreamResult runStream(const StreamOptions& options);

}  // namespace tyvarion::e2e
