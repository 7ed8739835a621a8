// The host process ended from outside while it records, as the Task Manager
// or a crashing extension ends Presentation: host-session, a process of its
// own (natively the portable object, under Wine the registered COM object),
// is killed (SIGKILL, TerminateProcess) a while into its trial. What the file
// holds is measured against what the server sent: every sample up to at most
// 100 ms before the last one sent, in whole lines but perhaps the last, with
// the trial's trigger and message. And host-session on a full disk: it exits
// 1 and says why.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "fault_support.h"
#include "harness/child_process.h"
#include "harness/server_process.h"
#include "recording_support.h"

#ifdef TYVARION_FAULTS_THROUGH_COM
#include "com_test_support.h"
#endif

namespace faults {
namespace {

namespace fs = std::filesystem;
namespace rs = recording_support;
using Clock = std::chrono::steady_clock;
using tyvarion::sim::ChildProcess;
using tyvarion::sim::ServerProcess;

constexpr auto kPatience = std::chrono::seconds(60);
// How long the trial runs after its first sample line reached the file
// before the host dies; each rate shifts it so that the kill meets the
// writer at another point of its deadline.
constexpr auto kRecordingBeforeKill = std::chrono::milliseconds(700);
// The most a dead host may cost.
constexpr double kMostLostSeconds = 0.100;

class HostProcessFaults : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
#ifdef TYVARION_FAULTS_THROUGH_COM
        com_testing::registerModule();
#endif
    }

    fs::path folder(const fs::path& documents) const { return documents / "Tyvarion" / "NBS Presentation"; }

    // host-session for `trials` trials of `trialMs`; null when it cannot start.
    static std::unique_ptr<ChildProcess> startHost(int trials, int trialMs) {
        std::string error;
        auto host = ChildProcess::start(hostSessionProgram(),
                                        {"--trials", std::to_string(trials), "--trial-ms", std::to_string(trialMs)},
                                        error);
        EXPECT_TRUE(host) << error;
        return host;
    }
};

// The sample lines the file holds now, 0 while there is none.
std::size_t sampleLinesIn(const fs::path& folder) {
    const std::vector<fs::path> files = recordingFiles(folder);
    return files.empty() ? 0 : readRecording(files.back()).samples.size();
}

class KilledHost : public HostProcessFaults, public ::testing::WithParamInterface<int> {};

TEST_P(KilledHost, LosesAtMostTheLast100MsOfTheRecording) {
    const int rate = GetParam();
    rs::ScratchFolder documents;
    rs::ScopedDocumentsFolder documentsSetting(documents.path());
    ServerProcess server({"--rate", std::to_string(rate)});
    ASSERT_TRUE(server.running()) << server.output();
    server.useForClients();

    std::unique_ptr<ChildProcess> host = startHost(1, 600000);
    ASSERT_TRUE(host);
    std::string printed;
    const auto giveUp = Clock::now() + kPatience;
    while (sampleLinesIn(folder(documents.path())) == 0 && Clock::now() < giveUp && !host->poll()) {
        host->read(printed, std::chrono::milliseconds(10));
    }
    ASSERT_NE(0u, sampleLinesIn(folder(documents.path()))) << "no sample reached the file; host-session:\n" << printed;
    const auto killAt = Clock::now() + kRecordingBeforeKill + std::chrono::milliseconds(rate % 37);
    while (Clock::now() < killAt) host->read(printed, std::chrono::milliseconds(5));
    ASSERT_FALSE(host->poll()) << printed;
    host->kill();
    server.stop();

    const std::optional<std::uint64_t> sent = server.samplesSent();
    ASSERT_TRUE(sent) << server.output();
    const std::vector<fs::path> files = recordingFiles(folder(documents.path()));
    ASSERT_EQ(1u, files.size());
    const tyvarion::tools::Recording recording = readRecording(files[0]);
    ASSERT_TRUE(recording.recognised());
    EXPECT_EQ(0u, recording.unreadable.count) << recording.unreadable.firstText;
    ASSERT_FALSE(recording.samples.empty());
    EXPECT_EQ(0, tyvarion::tools::missingSamples(recording.samples));
    ASSERT_EQ(2u, recording.texts.size());
    EXPECT_EQ("trigger: 1", recording.texts[0].text);
    EXPECT_EQ("message: trial 1 start", recording.texts[1].text);

    // The server's index counts from 0: its last sample has index sent - 1.
    const auto lastSent = static_cast<std::int64_t>(*sent) - 1;
    const std::int64_t lost = lastSent - recording.samples.back().index;
    std::printf("killed at %d Hz: the server sent %llu samples, the file holds %zu (index %d to %d, %zu bytes "
                "cut off): %lld lost, %.1f ms\n",
                rate, static_cast<unsigned long long>(*sent), recording.samples.size(), recording.samples.front().index,
                recording.samples.back().index, recording.cutOffBytes, static_cast<long long>(lost),
                1000.0 * static_cast<double>(lost) / rate);
    EXPECT_GE(lost, 0);
    EXPECT_LE(static_cast<double>(lost), kMostLostSeconds * rate);
}

INSTANTIATE_TEST_SUITE_P(Rates, KilledHost, ::testing::Values(60, 500, 2000, 10000),
                         [](const ::testing::TestParamInfo<int>& rate) {
                             return std::to_string(rate.param) + "Hz";
                         });

TEST_F(HostProcessFaults, OnAFullDiskHostSessionExits1AndSaysWhy) {
    SmallDisk disk;
    if (disk.path().empty()) GTEST_SKIP() << disk.why();
    rs::ScopedDocumentsFolder documentsSetting(disk.path());
    ServerProcess server({"--rate", "2000"});
    ASSERT_TRUE(server.running()) << server.output();
    server.useForClients();

    // About 380 KB of lines for a disk of 256 KiB.
    std::unique_ptr<ChildProcess> host = startHost(2, 1000);
    ASSERT_TRUE(host);
    std::string printed;
    const int status = [&] {
        const auto giveUp = Clock::now() + kPatience;
        while (!host->poll() && Clock::now() < giveUp) host->read(printed, std::chrono::milliseconds(20));
        while (host->read(printed, std::chrono::milliseconds(0))) {
        }
        return host->wait(std::chrono::milliseconds(0));
    }();
    EXPECT_EQ(1, status) << printed;
    const std::string said = "host-session: the recording is incomplete: SetRecording(false) answered \""
                             "the recording file is incomplete: ";
    const std::size_t at = printed.find(said);
    ASSERT_NE(std::string::npos, at) << printed;
    const std::string rest = printed.substr(at + said.size(), printed.find('\n', at) - at - said.size());
    EXPECT_NE(std::string::npos, rest.find(" lines could not be written (the disk is full)\"; the file holds "))
        << rest;
    EXPECT_NE(std::string::npos, rest.find(" sample lines and ends with a whole line")) << rest;

    const std::vector<fs::path> files = recordingFiles(folder(disk.path()));
    ASSERT_EQ(1u, files.size());
    EXPECT_EQ("", completeAndGapless(files[0]));
}

}  // namespace
}  // namespace faults
