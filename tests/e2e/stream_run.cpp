#include "stream_run.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <pthread.h>

#include "harness/server_process.h"
#include "platform/unique_handle.h"
#include "process_usage.h"
#include "thread_usage.h"
#include "recording-reader/recording_reader.h"
#include "tracker/tyvarion.h"

namespace tyvarion {

// Friend of Tyvarion: names the writer thread, so that its counters can be told
// from the client library's, and sets the writer's pacing to measure another.
struct RecordingProbe {
    static void nameWriter(Tyvarion& tracker, const char* name) {
        pthread_setname_np(tracker.writerThread.native_handle(), name);
    }
    static void setWriterPacing(Tyvarion& tracker, std::int64_t wakeMark,
                                std::int64_t deadlineMicros) {
        std::lock_guard lock(tracker.recordMutex);
        if (wakeMark > 0) tracker.recordQueue.setWakeMark(static_cast<std::size_t>(wakeMark));
        if (deadlineMicros >= 0) tracker.writerDeadline = std::chrono::microseconds(deadlineMicros);
    }
};

}  // namespace tyvarion

namespace tyvarion::e2e {
namespace {

constexpr const char* kWriterThreadName = "tyvarion-writer";

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kHostFrame = std::chrono::microseconds(16'667);  // 60 Hz
// The stream has ended once this many polls in a row found nothing.
constexpr int kQuietPollsAtEnd = 6;

// Delays in whole microseconds, counted in fixed bins so that measuring does
// not grow the process while it is being measured.
class DelayHistogram {
public:
    DelayHistogram() : bins_(kBins, 0) {}

    void add(std::int64_t micros) {
        micros = std::max<std::int64_t>(micros, 0);
        ++bins_[static_cast<std::size_t>(std::min<std::int64_t>(micros, kBins - 1))];
        max_ = std::max(max_, micros);
        ++count_;
    }

    std::int64_t percentile(double p) const {
        if (count_ == 0) return 0;
        const auto rank = static_cast<std::uint64_t>(p / 100.0 * static_cast<double>(count_ - 1));
        std::uint64_t seen = 0;
        for (std::size_t bin = 0; bin < bins_.size(); ++bin) {
            seen += bins_[bin];
            if (seen > rank) return static_cast<std::int64_t>(bin);
        }
        return max_;
    }
    std::int64_t max() const { return max_; }

private:
    static constexpr std::int64_t kBins = 1'000'000;  // one second; later ones count as one
    std::vector<std::uint32_t> bins_;
    std::int64_t max_ = 0;
    std::uint64_t count_ = 0;
};

StreamResult failed(StreamResult result, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(result.error, sizeof result.error, format, arguments);
    va_end(arguments);
    result.ok = false;
    return result;
}

std::string text(const unique_bstr& message) {
    return message ? utf16ToUtf8(message.get()) : std::string("(null)");
}

// The one recording file below `documents`.
std::optional<fs::path> recordingFile(const fs::path& documents) {
    const fs::path folder = documents / "Tyvarion" / "NBS Presentation";
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (entry.path().extension() == ".csv") return entry.path();
    }
    return std::nullopt;
}

// Each thread's counters from `before` to `after`, `seconds` apart, summed
// into the writer (by name), the host (this thread) and the client library
// (every other thread).
void addThreadUse(StreamResult& result, const std::vector<ThreadCounters>& before,
                  const std::vector<ThreadCounters>& after, double seconds) {
    const int host = currentThreadId();
    for (const ThreadCounters& now : after) {
        ThreadCounters then;
        for (const ThreadCounters& earlier : before) {
            if (earlier.tid == now.tid) then = earlier;
        }
        ThreadUse& use = now.tid == host                ? result.host
                         : now.name == kWriterThreadName ? result.writer
                                                         : result.client;
        use.processorPercent += 100.0 * static_cast<double>(now.runNanos - then.runNanos) / 1e9 / seconds;
        use.wakeUpsPerSecond += static_cast<double>(now.sleeps - then.sleeps) / seconds;
        use.preemptionsPerSecond += static_cast<double>(now.preemptions - then.preemptions) / seconds;
    }
}

}  // namespace

StreamResult runStream(const StreamOptions& options) {
    StreamResult result;
    result.rate = options.rate;
    const std::uint64_t total = static_cast<std::uint64_t>(options.rate) * options.seconds;

    setenv("XDG_DOCUMENTS_DIR", options.documents.c_str(), 1);
    sim::ServerProcess server(
        {"--rate", std::to_string(options.rate), "--samples", std::to_string(total)});
    if (!server.running()) return failed(result, "the server did not start: %s", server.output().c_str());
    server.useForClients();

    auto tracker = std::make_unique<Tyvarion>();
    RecordingProbe::nameWriter(*tracker, kWriterThreadName);
    RecordingProbe::setWriterPacing(*tracker, options.writerWakeMark, options.writerDeadlineMicros);
    LONG status = 0;
    tracker->GetStatus(&status);
    if (status != 0x10) return failed(result, "not connected: status 0x%02lX", static_cast<unsigned long>(status));
    tracker->SetDisplayMode(1920, 1080);
    unique_bstr message;
    for (auto type : {ET2_DT_POSITION, ET2_DT_PUPIL}) {
        for (auto eye : {ET2_ET_DEFAULT, ET2_ET_LEFT, ET2_ET_RIGHT}) {
            if (tracker->StartData(type, eye, message.put()) != S_OK)
                return failed(result, "StartData: %s", text(message).c_str());
        }
    }
    // Recording first, so that every sample of the stream belongs in the file.
    if (tracker->SetRecording(VARIANT_TRUE, message.put()) != S_OK || SysStringLen(message.get()) != 0)
        return failed(result, "SetRecording: %s", text(message).c_str());

    DelayHistogram delays;
    std::vector<EyeTracker2GeneralData> events(4096);
    ULONGLONG lastTime = ~0ull;
    std::uint64_t residentAfterFirstSecond = 0;
    std::uint64_t highestResident = 0;

    const std::int64_t processorBefore = processorMicros();
    if (tracker->SetTracking(VARIANT_TRUE, message.put()) != S_OK)
        return failed(result, "SetTracking: %s", text(message).c_str());
    const Clock::time_point start = Clock::now();
    const std::vector<ThreadCounters> threadsAtStart = threadCounters();
    bool threadsMeasured = false;
    const auto streaming = std::chrono::seconds(options.seconds);
    const auto giveUp = start + 3 * streaming + std::chrono::seconds(10);
    Clock::time_point nextPoll = start;
    Clock::time_point nextMemoryLook = start + std::chrono::seconds(1);
    int quietPolls = 0;
    while (Clock::now() < start + streaming || quietPolls < kQuietPollsAtEnd) {
        if (Clock::now() > giveUp) return failed(result, "the stream did not end");
        nextPoll += kHostFrame;
        std::this_thread::sleep_until(nextPoll);

        LONG queued = 0;
        tracker->GetEventCount(&queued);
        result.mostEventsQueued = std::max<std::uint64_t>(result.mostEventsQueued, static_cast<std::uint64_t>(queued));
        if (static_cast<std::size_t>(queued) > events.size()) events.resize(static_cast<std::size_t>(queued) * 2);
        LONG count = static_cast<LONG>(events.size());
        tracker->GetEvents(&count, events.data());
        ULONGLONG now = 0;
        tracker->GetTime(&now);
        quietPolls = count == 0 ? quietPolls + 1 : 0;
        result.eventsFetched += static_cast<std::uint64_t>(count);
        for (LONG i = 0; i < count; ++i) {
            const EyeTracker2GeneralData& event = events[static_cast<std::size_t>(i)];
            if (event.time == lastTime) continue;
            lastTime = event.time;
            ++result.samplesFetched;
            delays.add(static_cast<std::int64_t>(now - event.time));
        }

        if (!threadsMeasured && Clock::now() >= start + streaming) {
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            addThreadUse(result, threadsAtStart, threadCounters(), seconds);
            threadsMeasured = true;
        }
        if (Clock::now() >= nextMemoryLook) {
            const std::uint64_t resident = residentKiB();
            if (residentAfterFirstSecond == 0) residentAfterFirstSecond = resident;
            highestResident = std::max(highestResident, resident);
            nextMemoryLook += std::chrono::seconds(1);
        }
    }
    const std::int64_t processorUsed = processorMicros() - processorBefore;
    result.peakResidentKiB = peakResidentKiB();
    result.residentGrowthKiB =
        highestResident > residentAfterFirstSecond ? highestResident - residentAfterFirstSecond : 0;

    tracker->SetRecording(VARIANT_FALSE, message.put());
    tracker->SetTracking(VARIANT_FALSE, message.put());
    const Clock::time_point releaseStart = Clock::now();
    tracker.reset();
    result.teardownMillis = std::chrono::duration<double, std::milli>(Clock::now() - releaseStart).count();
    server.stop();
    result.sent = server.samplesSent().value_or(0);
    if (result.sent == 0) return failed(result, "the server sent nothing: %s", server.output().c_str());
    result.processorMicrosPerSample = static_cast<double>(processorUsed) / static_cast<double>(result.sent);
    result.delayP50Micros = delays.percentile(50);
    result.delayP99Micros = delays.percentile(99);
    result.delayMaxMicros = delays.max();

    const std::optional<fs::path> file = recordingFile(options.documents);
    if (!file) return failed(result, "no recording file below %s", options.documents.c_str());
    std::string error;
    const std::optional<tools::Recording> recording = tools::readRecording(*file, error);
    fs::remove(*file);
    if (!recording) return failed(result, "%s", error.c_str());
    result.lines = recording->samples.size();
    if (recording->samples.empty()) {
        result.missing = result.sent;
    } else {
        // The server numbers a connection's samples from 0.
        const std::int64_t before = recording->samples.front().index;
        const std::int64_t after = static_cast<std::int64_t>(result.sent) - 1 - recording->samples.back().index;
        result.missing = static_cast<std::uint64_t>(before + tools::missingSamples(recording->samples) +
                                                    std::max<std::int64_t>(after, 0));
    }
    result.ok = true;
    return result;
}

}  // namespace tyvarion::e2e
