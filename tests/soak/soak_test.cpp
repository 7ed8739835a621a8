// The soak: samples stream from the simulated server through the client
// library while the host's thread makes random calls of every host method; the
// server injects device events and drops connections. Sessions follow each
// other, each a tracker object of its own, released at a random moment (often
// while samples flood and recording is on). Checked: every promise the host
// sees (results, status), teardown within 100 ms (300 ms under Wine), every recording file against
// the trigger and message lines sent into it, and what the process holds
// (memory of its own, handles, threads), sampled between sessions about once a
// minute, which must stay flat. The sanitizer builds run it natively at
// 20,000 Hz on the portable object; the Windows builds under Wine at 2,000 Hz
// on the registered COM object. A watchdog ends a run that stops making
// progress.
//
// TYVARION_SOAK_SECONDS (default 20) sets the length, TYVARION_SOAK_SEED
// repeats a run's choices.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "soak_host.h"  // first: windows.h without the SendMessage macro

#include "harness/server_process.h"
#include "platform/unique_handle.h"
#include "recording-reader/recording_reader.h"
#include "recording_check.h"
#include "recording_support.h"
#include "soak_usage.h"

#ifdef _WIN32
#include "com_test_support.h"
#include "module/com_ptr.h"
#endif

namespace tyvarion::soak {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

#ifdef _WIN32
// Under Wine a shutdown does not wake the stand-in client library's reader,
// which looks at its stop flag every 100 ms; the release waits for it.
constexpr auto kTeardownLimit = std::chrono::milliseconds(300);
constexpr const char* kRate = "2000";
#else
constexpr auto kTeardownLimit = std::chrono::milliseconds(100);
constexpr const char* kRate = "20000";
#endif
// What may grow between the first sample of the process's usage and the last.
// Memory is held to it on Windows only: natively the sanitizers' quarantine
// and shadow memory grow by design.
#ifdef _WIN32
constexpr bool kMemoryMustStayFlat = true;
#else
constexpr bool kMemoryMustStayFlat = false;
#endif
constexpr std::uint64_t kMostPrivateGrowthKiB = 4096;
constexpr std::uint64_t kMostHandleGrowth = 16;
constexpr std::uint64_t kMostThreadGrowth = 1;
constexpr auto kDrainEvery = std::chrono::milliseconds(20);
constexpr auto kNoProgressLimit = std::chrono::seconds(60);

std::uint64_t environmentNumber(const char* name, std::uint64_t fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::strtoull(value, nullptr, 10) : fallback;
}

// Ends the process with the name of the last call when the host's thread
// makes no progress for a long while: a deadlock or a teardown that hangs.
class Watchdog {
public:
    Watchdog() : thread_([this] { watch(); }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
            wake_.notify_all();
        }
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    void beat(const char* what) {
        std::lock_guard lock(mutex_);
        what_ = what;
        last_ = Clock::now();
    }

private:
    void watch() {
        std::unique_lock lock(mutex_);
        while (!done_) {
            wake_.wait_for(lock, std::chrono::seconds(1));
            if (!done_ && Clock::now() - last_ > kNoProgressLimit) {
                std::fprintf(stderr, "soak: no progress for %lld s; last call: %s\n",
                             static_cast<long long>(kNoProgressLimit.count()), what_);
                std::abort();
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    const char* what_ = "start";
    Clock::time_point last_ = Clock::now();
    std::thread thread_;
};

// The server's faults for one session, counted from its first tracking start.
std::vector<std::string> serverArguments(std::mt19937_64& random, std::uint64_t session) {
    std::vector<std::string> arguments{"--rate", kRate, "--seed", std::to_string(session + 1)};
    const int codes[] = {4, 4, 4, 0, 2, 5, 1, 3};
    const int events = static_cast<int>(random() % 4);
    for (int i = 0; i < events; ++i) {
        arguments.push_back("--event");
        arguments.push_back(std::to_string(codes[random() % std::size(codes)]) + "@" +
                            std::to_string(50 + random() % 3000));
    }
    if (random() % 4 == 0) {
        arguments.push_back("--drop-after-ms");
        arguments.push_back(std::to_string(100 + random() % 3000));
    }
    return arguments;
}

// One session's tracker object: the portable object natively, the registered
// COM object (created by its ProgID, as the host creates it) on Windows.
class SessionObject {
public:
    SessionObject() {
#ifdef _WIN32
        CLSID classId{};
        EXPECT_EQ(S_OK, CLSIDFromProgID(host::kTrackerProgId, &classId));
        EXPECT_EQ(S_OK, CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, host::kIID_IEyeTracker2,
                                         reinterpret_cast<void**>(object_.put())));
#else
        object_ = std::make_unique<Tyvarion>();
#endif
    }
#ifdef _WIN32
    bool created() const { return static_cast<bool>(object_); }
    SoakTracker& tracker() { return *object_.get(); }
#else
    bool created() const { return object_ != nullptr; }
    SoakTracker& tracker() { return *object_; }
#endif
    // The last reference goes, as when the host releases the object.
    void release() { object_.reset(); }

private:
#ifdef _WIN32
    module::com_ptr<host::IEyeTracker2> object_;
#else
    std::unique_ptr<Tyvarion> object_;
#endif
};

// Most sessions start the way an experiment does, so that samples flood and
// recording is on when the random calls begin.
void startLikeAnExperiment(SoakTracker& tracker, SoakHost& host) {
    unique_bstr message;
    tracker.SetDisplayMode(1920, 1080);
    for (auto type : {ET2_DT_POSITION, ET2_DT_PUPIL}) {
        for (auto eye : {ET2_ET_DEFAULT, ET2_ET_LEFT, ET2_ET_RIGHT}) tracker.StartData(type, eye, message.put());
    }
    tracker.SetTracking(VARIANT_TRUE, message.put());
    host.drain();
}

// What the host sent into a file beside what the file holds, for a failure.
std::string describe(const std::vector<ExpectedText>& sent, const tools::Recording& recording) {
    std::string text = "sent:";
    for (const ExpectedText& line : sent) text += "\n  " + line.line + (line.certain ? "" : " (perhaps)");
    text += "\nin the file:";
    for (const tools::TextLine& line : recording.texts)
        text += "\n  " + line.text + " (after " + std::to_string(line.samplesBefore) + " samples)";
    return text;
}

// The host's calls from shortly before the file was opened until shortly
// after the next recording switch.
std::string callsAround(const std::vector<std::string>& log, const std::string& file) {
    std::size_t opened = 0;
    while (opened < log.size() && log[opened] != "  opened " + file) ++opened;
    if (opened == log.size()) return "  (the host never saw it opened)\n";
    std::size_t last = opened + 1;
    while (last < log.size() && log[last].rfind("SetRecording", 0) != 0) ++last;
    std::string text;
    for (std::size_t i = opened > 10 ? opened - 10 : 0; i < std::min(log.size(), last + 5); ++i)
        text += "  " + log[i] + "\n";
    return text;
}

struct Totals {
    std::uint64_t sessions = 0;
    std::uint64_t disconnected = 0;  // sessions that ended with the connection lost
    std::uint64_t calls = 0;
    std::uint64_t events = 0;
    std::uint64_t files = 0;
    std::uint64_t texts = 0;
    std::uint64_t sampleLines = 0;
    double slowestTeardownMs = 0;
};

// The process's usage between sessions, about once a minute (more often in a
// short run), the first after the first session.
class UsageSamples {
public:
    explicit UsageSamples(std::chrono::seconds length)
        : every_(std::clamp<std::chrono::seconds>(length / 5, std::chrono::seconds(5), std::chrono::seconds(60))) {}

    void between(Clock::time_point now) {
        if (!samples_.empty() && now < next_) return;
        samples_.push_back(processUsage());
        std::printf("soak: usage %zu: %s\n", samples_.size(), describe(samples_.back()).c_str());
        std::fflush(stdout);
        next_ = now + every_;
    }
    void last() { samples_.push_back(processUsage()); }

    // Empty when the last sample stays within the bounds of the first.
    std::string growth() const {
        if (samples_.size() < 2) return {};
        const ProcessUsage& first = samples_.front();
        const ProcessUsage& end = samples_.back();
        std::string wrong;
        if (kMemoryMustStayFlat && end.privateKiB > first.privateKiB + kMostPrivateGrowthKiB)
            wrong += " memory of its own grew;";
        if (end.handles > first.handles + kMostHandleGrowth) wrong += " handles grew;";
        if (end.threads > first.threads + kMostThreadGrowth) wrong += " threads grew;";
        if (wrong.empty()) return {};
        return "first " + describe(first) + ", last " + describe(end) + ":" + wrong;
    }
    const std::vector<ProcessUsage>& samples() const { return samples_; }

private:
    std::chrono::seconds every_;
    Clock::time_point next_{};
    std::vector<ProcessUsage> samples_;
};

TEST(Soak, HostCallsDeviceEventsAndDropsWhileSamplesStream) {
    const auto length = std::chrono::seconds(environmentNumber("TYVARION_SOAK_SECONDS", 20));
    const std::uint64_t seed = environmentNumber("TYVARION_SOAK_SEED", std::random_device{}());
    std::printf("soak: %lld s, seed %llu (TYVARION_SOAK_SEED repeats it)\n",
                static_cast<long long>(length.count()), static_cast<unsigned long long>(seed));
    std::mt19937_64 random(seed);

#ifdef _WIN32
    com_testing::registerModule();
    com_testing::Apartment apartment;
    // The stand-in client library stays loaded for the whole run. Built with
    // MinGW's static winpthreads, it leaves its receive thread's handle and an
    // event behind each time it is unloaded (2 handles a session, since the
    // plug-in frees it at each object's teardown); the maker's library has
    // no such cost, and the plug-in's own handles are what is measured here.
    const std::string standIn = TYVARION_STANDIN_LIBRARY;
    std::wstring standInPath(standIn.begin(), standIn.end());
    if (!standInPath.empty() && standInPath.front() == L'/') {
        for (wchar_t& c : standInPath)
            if (c == L'/') c = L'\\';
        standInPath = L"Z:" + standInPath;
    }
    const HMODULE heldStandIn = LoadLibraryW(standInPath.c_str());
    ASSERT_NE(nullptr, heldStandIn) << standIn;
#endif
    recording_support::ScratchFolder documents;
    recording_support::ScopedDocumentsFolder documentsSetting(documents.path());
    const fs::path folder = documents.path() / "Tyvarion" / "NBS Presentation";

    Watchdog watchdog;
    Totals totals;
    UsageSamples usage(length);
    const Clock::time_point end = Clock::now() + length;
    while (Clock::now() < end && !HasFailure()) {
        const std::uint64_t session = totals.sessions++;
        watchdog.beat("starting a server");
        sim::ServerProcess server(serverArguments(random, session));
        ASSERT_TRUE(server.running()) << server.output();
        server.useForClients();

        watchdog.beat("constructing the tracker object");
        SessionObject object;
        ASSERT_TRUE(object.created());
        SoakTracker& tracker = object.tracker();
        SoakHost host(tracker, random, folder);
        if (random() % 4 != 0) startLikeAnExperiment(tracker, host);
        const auto sessionLength = std::chrono::milliseconds(100 + random() % 3000);
        const Clock::time_point sessionEnd = std::min(end, Clock::now() + sessionLength);
        Clock::time_point nextDrain = Clock::now() + kDrainEvery;
        while (Clock::now() < sessionEnd && host.failure().empty()) {
            watchdog.beat("a host call");
            watchdog.beat(host.step());
            ++totals.calls;
            if (Clock::now() >= nextDrain) {
                host.drain();
                nextDrain += kDrainEvery;
            }
        }

        LONG status = 0;
        tracker.GetStatus(&status);
        if (status == 0x40) ++totals.disconnected;
        watchdog.beat("releasing the tracker object");
        const Clock::time_point releaseStart = Clock::now();
        object.release();
        const auto teardown = Clock::now() - releaseStart;
        const double teardownMs = std::chrono::duration<double, std::milli>(teardown).count();
        totals.slowestTeardownMs = std::max(totals.slowestTeardownMs, teardownMs);
        EXPECT_LT(teardown, kTeardownLimit) << "session " << session << ": teardown took " << teardownMs << " ms";
        watchdog.beat("stopping the server");
        server.stop();

        EXPECT_EQ("", host.failure()) << "session " << session;
        totals.events += host.eventsFetched();
        for (const RecordingBooks& books : host.recordings()) {
            std::string error;
            const std::optional<tools::Recording> recording = tools::readRecording(books.file, error);
            ASSERT_TRUE(recording) << error;
            const std::string verdict = checkRecording(*recording, books.texts);
            EXPECT_EQ("", verdict) << "session " << session << ", " << books.file.filename().string() << "\n"
                                   << describe(books.texts, *recording) << "\nthe host's calls around it:\n"
                                   << callsAround(host.log(), books.file.filename().string());
            ++totals.files;
            totals.texts += recording->texts.size();
            totals.sampleLines += recording->samples.size();
        }
        // What this session left behind is checked; the next one starts clean.
        std::error_code ignored;
        fs::remove_all(folder, ignored);
        usage.between(Clock::now());
    }
    usage.last();
    EXPECT_EQ("", usage.growth()) << "the process's usage must stay flat";
#ifdef _WIN32
    FreeLibrary(heldStandIn);
#endif
    std::printf("soak: %llu sessions (%llu lost the connection), %llu host calls, %llu events fetched, %llu recording files with "
                "%llu sample lines and %llu trigger and message lines checked, slowest teardown %.1f ms\n",
                static_cast<unsigned long long>(totals.sessions),
                static_cast<unsigned long long>(totals.disconnected), static_cast<unsigned long long>(totals.calls),
                static_cast<unsigned long long>(totals.events), static_cast<unsigned long long>(totals.files),
                static_cast<unsigned long long>(totals.sampleLines), static_cast<unsigned long long>(totals.texts),
                totals.slowestTeardownMs);
    if (usage.samples().size() >= 2) {
        std::printf("soak: usage first %s, last %s (bounds: %s+%llu KiB, +%llu handles, +%llu threads)\n",
                    describe(usage.samples().front()).c_str(), describe(usage.samples().back()).c_str(),
                    kMemoryMustStayFlat ? "" : "not held natively: ",
                    static_cast<unsigned long long>(kMostPrivateGrowthKiB),
                    static_cast<unsigned long long>(kMostHandleGrowth),
                    static_cast<unsigned long long>(kMostThreadGrowth));
    }
}

}  // namespace
}  // namespace tyvarion::soak
