// The session driver's logic against a scripted tracker: the host's order of
// calls, the orderly way out after a refusal, a lost connection or Ctrl-C;
// what it counts and how it reports it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "fake_host_tracker.h"
#include "test_environment.h"
#include "host-session/options.h"
#include "host-session/progress.h"
#include "host-session/recording_locator.h"
#include "host-session/session.h"
#include "host-session/session_stats.h"
#include "host-session/summary.h"
#include "output-file/output_file.h"

namespace tyvarion::host {
namespace {

using testing::event;
using testing::FakeHostTracker;
using Strings = std::vector<std::string>;

// Everything written to a temporary stream, as text.
class CapturedOutput {
public:
    CapturedOutput() : file_(std::tmpfile()) {}
    ~CapturedOutput() { std::fclose(file_); }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    std::FILE* file() { return file_; }
    std::string text() {
        std::fflush(file_);
        std::rewind(file_);
        std::string content;
        for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_)) content += static_cast<char>(c);
        return content;
    }

private:
    std::FILE* file_;
};

SessionOptions quickOptions(int trials) {
    SessionOptions options;
    options.trials = trials;
    options.trialMs = 1;
    options.frameRateHz = 1000;
    return options;
}

const Strings kPreparation = {
    "SetDisplayMode 1920x1080", "StartData 0 0", "StartData 0 2", "StartData 0 1",
    "StartData 4 2",            "StartData 4 1", "StartData 4 0", "SetTracking on",
    "Calibrate 0",              "SetRecording on",
};

Strings concat(Strings a, const Strings& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct SessionRun {
    SessionReport report;
    std::string output;
};

SessionRun run(FakeHostTracker& tracker, const SessionOptions& options, bool stop = false) {
    CapturedOutput output;
    SessionLog log(output.file(), false);
    const std::atomic<bool> stopRequested{stop};
    SessionRun result{runSession(tracker, options, log, stopRequested), {}};
    result.output = output.text();
    return result;
}

TEST(HostSession, CompletedSessionInTheHostsOrder) {
    FakeHostTracker tracker;
    tracker.time = 1'000'000;
    tracker.batches.push_back({
        event(ET2_DT_POSITION, ET2_ET_DEFAULT, 990'000, 1, 2),
        event(ET2_DT_POSITION, ET2_ET_LEFT, 990'000),
        event(ET2_DT_PUPIL, ET2_ET_LEFT, 990'000),
        event(ET2_DT_POSITION, ET2_ET_DEFAULT, 994'000, 3, 4),
        event(ET2_DT_SACCADE, ET2_ET_DEFAULT, 994'000),
    });
    const SessionRun result = run(tracker, quickOptions(2));

    EXPECT_EQ(tracker.calls, concat(kPreparation, {"SendTrigger 1", "SendString trial 1 start", "SendTrigger 2",
                                                   "SendString trial 2 start", "SetRecording off",
                                                   "SetTracking off"}));
    const SessionReport& report = result.report;
    EXPECT_EQ(report.end, SessionEnd::completed);
    EXPECT_EQ(report.explanation, "");
    EXPECT_EQ(report.trialsStarted, 2);
    EXPECT_EQ(report.triggersSent, 2u);
    EXPECT_EQ(report.messagesSent, 2u);
    EXPECT_TRUE(report.recordingStarted);

    const ReceivedData& received = report.received;
    EXPECT_EQ(received.events(), 5u);
    EXPECT_EQ(received.samples(), 2u);
    EXPECT_EQ(received.eventsOf(EventKind::positionDefault), 2u);
    EXPECT_EQ(received.eventsOf(EventKind::positionLeft), 1u);
    EXPECT_EQ(received.eventsOf(EventKind::pupilLeft), 1u);
    EXPECT_EQ(received.eventsOf(EventKind::pupilRight), 0u);
    EXPECT_EQ(received.otherEvents(), 1u);
    EXPECT_EQ(received.delays(), (std::vector<std::int64_t>{10'000, 6'000}));
    EXPECT_EQ(received.sampleTimes(), (std::vector<std::uint64_t>{990'000, 994'000}));
    ASSERT_TRUE(received.lastGaze());
    EXPECT_EQ((*received.lastGaze())[0], 3);
    EXPECT_EQ((*received.lastGaze())[1], 4);

    EXPECT_NE(result.output.find("SetDisplayMode(1920, 1080)                   S_OK\n"), std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("SendString(\"trial 2 start\")                  S_OK\n"), std::string::npos);
}

TEST(HostSession, RefusalForWantOfTheServerEndsTheSession) {
    tyvarion::testing::setEnvironment("TYVARION_SERVER", "127.0.0.1:1");
    FakeHostTracker tracker;
    tracker.startDataReply = {S_FALSE, "not connected to Tyvarion server"};
    tracker.lastErrorReply = {S_OK, "not connected to Tyvarion server"};
    tracker.status = 0x40;
    const SessionRun result = run(tracker, quickOptions(3));

    EXPECT_EQ(tracker.calls, (Strings{"SetDisplayMode 1920x1080", "StartData 0 0", "GetLastError"}));
    EXPECT_EQ(result.report.end, SessionEnd::refused);
    EXPECT_EQ(result.report.trialsStarted, 0);
    EXPECT_FALSE(result.report.recordingStarted);
    EXPECT_EQ(result.report.explanation,
              "the plug-in refused StartData(ET2_DT_POSITION, ET2_ET_DEFAULT) with S_FALSE: \"not connected to "
              "Tyvarion server\".\nIt is not connected to the eye-tracking server (GetStatus 0x40): it connects "
              "once, when it is created, and the server did not answer then. Start the server first "
              "(tyvarion-sim-server; scripts/demo starts one) and make sure TYVARION_SERVER names it (it is "
              "\"127.0.0.1:1\").");
    EXPECT_EQ(result.output,
              "SetDisplayMode(1920, 1080)                   S_OK\n"
              "StartData(ET2_DT_POSITION, ET2_ET_DEFAULT)   S_FALSE  \"not connected to Tyvarion server\"\n"
              "GetLastError                                 S_OK     \"not connected to Tyvarion server\"\n"
              "GetStatus -> S_OK, status 0x40\n");
    tyvarion::testing::unsetEnvironment("TYVARION_SERVER");
}

TEST(HostSession, RefusalAfterTrackingStartedSwitchesItOff) {
    FakeHostTracker tracker;
    tracker.calibrateReply = {S_OK, "failed to calibrate: not tracking"};
    SessionRun result = run(tracker, quickOptions(1));
    EXPECT_EQ(tracker.calls, (Strings{"SetDisplayMode 1920x1080", "StartData 0 0", "StartData 0 2", "StartData 0 1",
                                      "StartData 4 2", "StartData 4 1", "StartData 4 0", "SetTracking on",
                                      "Calibrate 0", "GetLastError", "SetTracking off"}));
    EXPECT_EQ(result.report.end, SessionEnd::refused);
    EXPECT_EQ(result.report.explanation,
              "the plug-in refused Calibrate(ET2_CT_CALIBRATE) with S_OK: \"failed to calibrate: not tracking\".");

    FakeHostTracker noFile;
    noFile.setRecordingReply = {S_OK, "failed to open file"};
    result = run(noFile, quickOptions(1));
    EXPECT_EQ(noFile.calls, concat(kPreparation, {"GetLastError", "SetTracking off"}));
    EXPECT_FALSE(result.report.recordingStarted);
    EXPECT_EQ(result.report.explanation,
              "the plug-in refused SetRecording(true) with S_OK: \"failed to open file\".");
}

TEST(HostSession, StatusOtherThanTrackingAndRecordingEndsTheTrial) {
    FakeHostTracker lost;
    lost.status = 0x40;
    SessionRun result = run(lost, quickOptions(3));
    EXPECT_EQ(lost.calls, concat(kPreparation, {"SendTrigger 1", "SendString trial 1 start", "SetRecording off",
                                                "SetTracking off"}));
    EXPECT_EQ(result.report.end, SessionEnd::trackingEnded);
    EXPECT_EQ(result.report.trialsStarted, 1);
    EXPECT_EQ(result.report.explanation,
              "the connection to the eye-tracking server was lost during trial 1 (GetStatus 0x40).");

    FakeHostTracker stopped;
    stopped.status = 0x18;
    result = run(stopped, quickOptions(3));
    EXPECT_EQ(result.report.explanation,
              "the eye-tracking server stopped tracking during trial 1 (GetStatus 0x18).");

    FakeHostTracker notRecording;
    notRecording.status = 0x07;
    result = run(notRecording, quickOptions(3));
    EXPECT_EQ(result.report.explanation, "recording stopped during trial 1 (GetStatus 0x07).");
}

TEST(HostSession, InterruptionStillSwitchesEverythingOff) {
    FakeHostTracker tracker;
    const SessionRun result = run(tracker, quickOptions(3), true);
    EXPECT_EQ(tracker.calls, concat(kPreparation, {"SetRecording off", "SetTracking off"}));
    EXPECT_EQ(result.report.end, SessionEnd::interrupted);
    EXPECT_EQ(result.report.explanation, "interrupted before the first trial");
}

TEST(HostSession, RefusalExplanationNamesTheServerVariableOrTheClientLibrary) {
    const Reply reply{S_FALSE, "not connected to Tyvarion server"};
    const ClientLibraryInUse simulated;
    const std::string unset = explainRefusal("SetRecording(true)", reply, 0x40, std::nullopt, simulated);
    EXPECT_NE(unset.find("(it is not set, so 127.0.0.1:47813 is tried)."), std::string::npos) << unset;
    EXPECT_NE(explainRefusal("SetRecording(true)", reply, 0x40, "x:1", simulated).find("(it is \"x:1\")."),
              std::string::npos);
    // The maker's library: no word about the simulator.
    const ClientLibraryInUse maker{ClientLibraryInUse::Kind::maker, "C:\\Tyvarion NBS\\TYApi64.dll", ""};
    EXPECT_EQ(explainRefusal("SetTracking(true)", reply, 0x40, "x:1", maker),
              "the plug-in refused SetTracking(true) with S_FALSE: \"not connected to Tyvarion server\".\n"
              "It is not connected to the eye-tracking server (GetStatus 0x40): it connects once, when it is "
              "created, through the maker's client library C:\\Tyvarion NBS\\TYApi64.dll, and the tracker's "
              "server did not answer then. Start the tracker and its server (the maker's software) first, and see "
              "that this PC reaches it.");
    const ClientLibraryInUse none{ClientLibraryInUse::Kind::none, "TYApi32.dll",
                                  "C:\\P\\ (beside TyvarionNBS.dll), the application's folder C:\\A\\ and C:\\S"};
    EXPECT_EQ(explainRefusal("SetTracking(true)", reply, 0x40, std::nullopt, none),
              "the plug-in refused SetTracking(true) with S_FALSE: \"not connected to Tyvarion server\".\n"
              "It is not connected to the eye-tracking server (GetStatus 0x40): it connects once, when it is "
              "created, but no client library is loaded: TYApi32.dll was looked for in C:\\P\\ (beside "
              "TyvarionNBS.dll), the application's folder C:\\A\\ and C:\\S. Put the maker's TYApi32.dll beside "
              "TyvarionNBS.dll and check it with client-library-check; the plug-in's debugger line (DebugView) "
              "says why it was not taken.");
    // Connected: no word about the server.
    EXPECT_EQ(explainRefusal("SetTracking(true)", {S_FALSE, "no eye tracking device connected"}, 0x10, "x:1", maker),
              "the plug-in refused SetTracking(true) with S_FALSE: \"no eye tracking device connected\".");
    EXPECT_EQ(explainRefusal("GetEvents", {static_cast<HRESULT>(0x8007000E), ""}, std::nullopt, std::nullopt, none),
              "the plug-in refused GetEvents with 0x8007000E.");
}

TEST(HostSession, ResultNames) {
    EXPECT_EQ(resultName(S_OK), "S_OK");
    EXPECT_EQ(resultName(S_FALSE), "S_FALSE");
    EXPECT_EQ(resultName(E_NOTIMPL), "E_NOTIMPL");
    EXPECT_EQ(resultName(static_cast<HRESULT>(0x80004003)), "0x80004003");
}

TEST(SessionStats, NearestRankPercentiles) {
    const DelayDistribution small = distribution({5, 1, 4, 2, 3});
    EXPECT_EQ(small.count, 5u);
    EXPECT_EQ(small.median, 3);
    EXPECT_EQ(small.p95, 5);
    EXPECT_EQ(small.p99, 5);
    EXPECT_EQ(small.maximum, 5);

    std::vector<std::int64_t> hundred;
    for (int i = 100; i >= 1; --i) hundred.push_back(i);
    const DelayDistribution d = distribution(hundred);
    EXPECT_EQ(d.median, 50);
    EXPECT_EQ(d.p95, 95);
    EXPECT_EQ(d.p99, 99);
    EXPECT_EQ(d.maximum, 100);

    const DelayDistribution none = distribution({});
    EXPECT_EQ(none.count, 0u);
    EXPECT_EQ(none.maximum, 0);
}

TEST(SessionStats, OneSampleSpansBatches) {
    ReceivedData received;
    const std::vector<EyeTracker2GeneralData> first{event(ET2_DT_POSITION, ET2_ET_DEFAULT, 100),
                                                    event(ET2_DT_POSITION, ET2_ET_LEFT, 100)};
    const std::vector<EyeTracker2GeneralData> second{event(ET2_DT_PUPIL, ET2_ET_LEFT, 100),
                                                     event(ET2_DT_PUPIL, ET2_ET_LEFT, 104)};
    received.add(first, 150);
    received.add(second, 160);
    EXPECT_EQ(received.samples(), 2u);
    EXPECT_EQ(received.delays(), (std::vector<std::int64_t>{50, 56}));
}

TEST(Progress, LineFormat) {
    ProgressState state{2, 3, 1.236, 2998.4, std::array{-12.34, 45.66}, 0x0F};
    EXPECT_EQ(formatProgress(state),
              "trial 2/3    1.24 s    2998 events/s   gaze (-12.3, 45.7)       status 0x0F");
    state.gaze.reset();
    state.status = 0x40;
    EXPECT_EQ(formatProgress(state),
              "trial 2/3    1.24 s    2998 events/s   gaze -                   status 0x40");
    state.eventsPerSecond.reset();
    EXPECT_EQ(formatProgress(state),
              "trial 2/3    1.24 s       - events/s   gaze -                   status 0x40");
}

TEST(Progress, EventRateOverTheTimeActuallyMeasured) {
    using namespace std::chrono_literals;
    const EventRate::Clock::time_point t0{};
    EventRate rate;
    EXPECT_EQ(rate.perSecond(), std::nullopt);
    // The trial's first fetch brings everything queued since tracking began:
    // not counted, there is no time it was measured over.
    rate.add(t0, 2'711'252);
    EXPECT_EQ(rate.perSecond(), std::nullopt);
    rate.add(t0 + 20ms, 60);
    EXPECT_EQ(rate.perSecond(), std::nullopt);  // before the first interval
    for (int frame = 2; frame <= 12; ++frame) rate.add(t0 + frame * 20ms, 60);
    EXPECT_EQ(rate.perSecond(), std::nullopt);  // 240 ms
    rate.add(t0 + 260ms, 60);
    EXPECT_EQ(rate.perSecond(), 3000.0);  // 13 fetches of 60 over 260 ms
    for (int frame = 14; frame <= 100; ++frame) rate.add(t0 + frame * 20ms, 60);
    EXPECT_EQ(rate.perSecond(), 3000.0);
    // Half a second without events: the last second holds half as many.
    for (int frame = 101; frame <= 125; ++frame) rate.add(t0 + frame * 20ms, 0);
    EXPECT_EQ(rate.perSecond(), 1500.0);

    // The next trial starts with a rate of its own, not known yet rather than 0.
    EventRate next;
    next.add(t0 + 3s, 40);
    EXPECT_EQ(next.perSecond(), std::nullopt);
}

TEST(Progress, PlainLinesEverySecondAndTheLastOne) {
    using namespace std::chrono_literals;
    CapturedOutput output;
    ProgressDisplay display(output.file(), false);
    ProgressState state{1, 1, 0, 0, std::nullopt, 0x0F};
    const ProgressDisplay::Clock::time_point t0{};
    display.update(state, t0);
    state.elapsedSeconds = 0.5;
    display.update(state, t0 + 500ms);
    state.elapsedSeconds = 1;
    display.update(state, t0 + 1000ms);
    state.elapsedSeconds = 1.5;
    display.update(state, t0 + 1500ms);
    state.elapsedSeconds = 2;
    display.finish(state);
    EXPECT_EQ(output.text(),
              "trial 1/1    1.00 s       0 events/s   gaze -                   status 0x0F\n"
              "trial 1/1    2.00 s       0 events/s   gaze -                   status 0x0F\n");
}

TEST(Progress, TerminalLineRewrittenInPlace) {
    using namespace std::chrono_literals;
    CapturedOutput output;
    ProgressDisplay display(output.file(), true);
    ProgressState state{1, 2, 0, 0, std::array{-12345.6, -12345.6}, 0x0F};
    const ProgressDisplay::Clock::time_point t0{};
    display.update(state, t0);
    state.gaze = std::array{1.0, 2.0};  // a shorter line
    display.update(state, t0 + 50ms);   // too soon
    display.update(state, t0 + 100ms);
    display.breakLine();
    display.breakLine();  // nothing left to break
    display.finish(state);
    const std::string first = formatProgress({1, 2, 0, 0, std::array{-12345.6, -12345.6}, 0x0F});
    const std::string second = formatProgress(state);
    ASSERT_EQ(first.size(), second.size() + 3);
    EXPECT_EQ(output.text(), "\r" + first + "\r" + second + "   " + "\n" + "\r" + second + "\n");
}

TEST(HostSessionOptions, DefaultsValuesAndErrors) {
    const auto parse = [](std::vector<std::string_view> arguments) { return parseOptions(arguments); };
    const auto defaults = std::get<SessionOptions>(parse({}));
    EXPECT_EQ(defaults.trials, 3);
    EXPECT_EQ(defaults.trialMs, 2000);
    EXPECT_EQ(defaults.frameRateHz, 60);
    EXPECT_EQ(defaults.displayWidth, 1920);
    EXPECT_EQ(defaults.displayHeight, 1080);

    const auto set = std::get<SessionOptions>(
        parse({"--trials", "5", "--trial-ms", "250", "--frame-rate", "120", "--display", "800x600"}));
    EXPECT_EQ(set.trials, 5);
    EXPECT_EQ(set.trialMs, 250);
    EXPECT_EQ(set.frameRateHz, 120);
    EXPECT_EQ(set.displayWidth, 800);
    EXPECT_EQ(set.displayHeight, 600);
    EXPECT_TRUE(std::get<SessionOptions>(parse({"--help"})).help);
    EXPECT_EQ(std::get<SessionOptions>(parse({"--recording-path-file", "out.txt"})).recordingPathFile, "out.txt");
    EXPECT_EQ(std::get<std::string>(parse({"--recording-path-file", ""})), "--recording-path-file: expects a file name");

    EXPECT_EQ(std::get<std::string>(parse({"--trials", "0"})), "--trials: expects 1 to 1000");
    EXPECT_EQ(std::get<std::string>(parse({"--trial-ms", "1.5"})), "--trial-ms: expects 1 to 3600000");
    EXPECT_EQ(std::get<std::string>(parse({"--frame-rate", "nan"})), "--frame-rate: expects 1 to 1000");
    EXPECT_EQ(std::get<std::string>(parse({"--display", "800x"})),
              "--display: expects WIDTHxHEIGHT in pixels, 1 to 100000 each");
    EXPECT_EQ(std::get<std::string>(parse({"--trials"})), "--trials: missing value");
    EXPECT_EQ(std::get<std::string>(parse({"--late"})), "unknown option --late");
}

TEST(SessionSummary, RecordingCountedAgainstWhatTheHostReceived) {
    std::istringstream input(
        "Sep=;\n"
        "timestamp [us];\tindex;\tPOR X [px];\tPOR Y [px];\tPOR Left X [px];\tPOR Left Y [px];"
        "\tPupil Diam Left [mm];\tPOR Right X [px];\tPOR Right Y [px];\tPupil Diam Right [mm]\n"
        "trigger: 1\n"
        "message: trial 1 start\n"
        "100;0;1;1;1;1;1;1;1;1;\n"
        "102;1;INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;\n"
        "106;3;1;1;1;1;1;1;1;1;\n");
    const tools::Recording recording = tools::parseRecording(input);
    ReceivedData received;
    received.add(std::vector{event(ET2_DT_POSITION, ET2_ET_DEFAULT, 100)}, 200);
    RecordingCheck check;
    countRecording(recording, received, check);
    EXPECT_EQ(check.sampleLines, 3u);
    EXPECT_EQ(check.triggerLines, 1u);
    EXPECT_EQ(check.messageLines, 1u);
    EXPECT_EQ(check.missingSamples, 1);
    EXPECT_EQ(check.linesWithValue, 2u);
    EXPECT_EQ(check.linesReceived, 1u);

    check.path = "/tmp/x.csv";
    SessionReport report;
    report.trialsStarted = 1;
    report.triggersSent = 1;
    report.received = received;
    const std::string text = formatSummary(quickOptions(1), report, check);
    EXPECT_NE(text.find("\n    sample lines                 3\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n    samples missing              1 (gaps in index)\n"), std::string::npos);
    EXPECT_NE(text.find("\n    received by the host         1 of 2 lines with a value\n"), std::string::npos);
    EXPECT_NE(text.find("\n  median                             0.10 ms\n"), std::string::npos);

    // Replayed samples carry the times they were recorded with: earlier than
    // the start of tracking.
    const std::string notMeasured = "  not measured: the samples' time stamps are not on this machine's clock\n";
    ReceivedData replayed;
    replayed.add(std::vector{event(ET2_DT_POSITION, ET2_ET_DEFAULT, 100'000'000)}, 100'020'000);
    report.received = replayed;
    report.trackingStartMicros = 101'000'001;
    const std::string note = formatSummary(quickOptions(1), report, std::nullopt);
    EXPECT_NE(note.find(notMeasured), std::string::npos) << note;
    EXPECT_EQ(note.find("recording file"), std::string::npos);
    report.trackingStartMicros = 101'000'000;  // within a second: the same clock
    EXPECT_EQ(formatSummary(quickOptions(1), report, std::nullopt).find(notMeasured), std::string::npos);
    // Time stamps from the future.
    ReceivedData ahead;
    ahead.add(std::vector{event(ET2_DT_POSITION, ET2_ET_DEFAULT, 102'000'001)}, 101'000'000);
    report.received = ahead;
    EXPECT_NE(formatSummary(quickOptions(1), report, std::nullopt).find(notMeasured), std::string::npos);
}

TEST(SessionSummary, NamesTheRecordingHoldingTheSessionsSamples) {
    const tyvarion::testing::ScratchFolder scratch("tyvarion-own-recording");
    const std::filesystem::path& folder = scratch.path();
    RecordingLocator locator(folder);
    locator.snapshot();
    const std::string header =
        "Sep=;\n"
        "timestamp [us];\tindex;\tPOR X [px];\tPOR Y [px];\tPOR Left X [px];\tPOR Left Y [px];"
        "\tPupil Diam Left [mm];\tPOR Right X [px];\tPOR Right Y [px];\tPupil Diam Right [mm]\n";
    const auto write = [&](const char* name, const std::string& lines) {
        std::ofstream(folder / name, std::ios::binary) << header << lines;
    };
    // Two hosts started recording in the same second; this one's file is the first.
    write("tyvarion_NBS_2024-03-05-14-07-09.csv", "100;0;1;1;1;1;1;1;1;1;\n102;1;1;1;1;1;1;1;1;1;\n");
    write("tyvarion_NBS_2024-03-05-14-07-09-2.csv", "101;0;1;1;1;1;1;1;1;1;\n103;1;1;1;1;1;1;1;1;1;\n");
    const auto later = std::filesystem::last_write_time(folder / "tyvarion_NBS_2024-03-05-14-07-09.csv") +
                       std::chrono::seconds(5);
    std::filesystem::last_write_time(folder / "tyvarion_NBS_2024-03-05-14-07-09-2.csv", later);
    ReceivedData received;
    received.add(std::vector{event(ET2_DT_POSITION, ET2_ET_DEFAULT, 100)}, 200);
    received.add(std::vector{event(ET2_DT_POSITION, ET2_ET_DEFAULT, 102)}, 200);
    const RecordingCheck own = checkRecording(locator, received);
    ASSERT_TRUE(own.path);
    EXPECT_EQ(own.path->filename(), "tyvarion_NBS_2024-03-05-14-07-09.csv");
    EXPECT_EQ(own.problem, "");
    EXPECT_EQ(own.linesReceived, 2u);
    EXPECT_EQ(own.linesWithValue, 2u);

    // A host that received nothing cannot tell: the newest, and why.
    const RecordingCheck unknown = checkRecording(locator, ReceivedData{});
    ASSERT_TRUE(unknown.path);
    EXPECT_EQ(unknown.path->filename(), "tyvarion_NBS_2024-03-05-14-07-09-2.csv");
    EXPECT_EQ(unknown.problem,
              "2 new recordings appeared and none holds a sample this session received; the newest is shown");

    const RecordingLocator empty(folder / "none");
    EXPECT_EQ(checkRecording(empty, received).problem, "no new recording in " + tools::pathText(folder / "none"));
}

TEST(SessionSummary, AnIncompleteRecordingIsToldFromTheStopAndTheFile) {
    FakeHostTracker tracker;
    const std::string stop = "the recording file is incomplete: 3 lines could not be written (the disk is full)";
    tracker.stopRecordingReply = {S_OK, stop};
    const SessionRun session = run(tracker, quickOptions(1));
    EXPECT_EQ(SessionEnd::completed, session.report.end);
    EXPECT_EQ(stop, session.report.recordingStopMessage);

    RecordingCheck check;
    check.path = "/tmp/x.csv";
    check.sampleLines = 2;
    EXPECT_EQ("the recording is incomplete: SetRecording(false) answered \"" + stop +
                  "\"; the file holds 2 sample lines and ends with a whole line",
              incompleteRecording(session.report, check));

    SessionReport whole = session.report;
    whole.recordingStopMessage.clear();
    EXPECT_EQ(std::nullopt, incompleteRecording(whole, check));
    check.incomplete = "the file ends in the middle of a line: its last 5 bytes were left out";
    EXPECT_EQ("the recording is incomplete: in the file: the file ends in the middle of a line: its last 5 bytes "
              "were left out",
              incompleteRecording(whole, check));
    EXPECT_EQ("the recording is incomplete: SetRecording(false) answered \"" + stop + "\"; the file was not found",
              incompleteRecording(session.report, std::nullopt));
    whole.recordingStarted = false;
    EXPECT_EQ(std::nullopt, incompleteRecording(whole, check));
}

TEST(RecordingLocator, FindsOnlyNewRecordings) {
    const tyvarion::testing::ScratchFolder scratch("tyvarion-locator");
    const std::filesystem::path& folder = scratch.path();
    std::ofstream(folder / "tyvarion_NBS_2024-03-05-14-07-09.csv") << "old";
    RecordingLocator locator(folder);
    locator.snapshot();
    EXPECT_TRUE(locator.newRecordings().empty());
    std::ofstream(folder / "tyvarion_NBS_2024-03-05-14-07-10.csv") << "new";
    std::ofstream(folder / "notes.csv") << "not a recording";
    std::filesystem::create_directory(folder / "tyvarion_NBS_dir.csv");
    const auto found = locator.newRecordings();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].filename(), "tyvarion_NBS_2024-03-05-14-07-10.csv");

    EXPECT_TRUE(isRecordingName("tyvarion_NBS_2024-03-05-14-07-09-2.csv"));
    EXPECT_FALSE(isRecordingName("tyvarion_NBS_.csv"));
    EXPECT_FALSE(isRecordingName("tyvarion_NBS_2024.txt"));
}

}  // namespace
}  // namespace tyvarion::host
