// Faults in the middle of a recording, through the tracker object as this
// build's host reaches it: the server process ends, the Documents folder
// becomes unusable, the disk fills up or writes fail at the file size limit,
// and the host releases the object while samples flood. In every case the plug-in goes on serving
// the host, teardown completes, and what reached the file is whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <optional>

#include "fault_support.h"
#include "harness/server_process.h"
#include "recording_support.h"

#ifdef TYVARION_FAULTS_THROUGH_COM
#include "com_test_support.h"
#endif

namespace faults {
namespace {

namespace fs = std::filesystem;
namespace rs = recording_support;
using tyvarion::sim::ServerProcess;

class Faults : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
#ifdef TYVARION_FAULTS_THROUGH_COM
        com_testing::registerModule();
#endif
    }

    void SetUp() override {
        documentsSetting.emplace(documents.path());
        server.emplace(serverArguments());
        ASSERT_TRUE(server->running()) << server->output();
        server->useForClients();
        tracker = createTracker();
        ASSERT_TRUE(tracker);
    }

    fs::path folder() const { return documents.path() / "Tyvarion" / "NBS Presentation"; }

    virtual std::vector<std::string> serverArguments() const { return {"--rate", "1000"}; }

    rs::ScratchFolder documents;
    std::optional<rs::ScopedDocumentsFolder> documentsSetting;
    std::optional<ServerProcess> server;
    std::unique_ptr<HostTracker> tracker;
    std::set<std::uint64_t> times;
};

TEST_F(Faults, TheServerDiesMidRecording) {
    startRecordingSession(*tracker);
    ASSERT_TRUE(receiveSamples(*tracker, 200, times));
    EXPECT_EQ(S_OK, tracker->sendTrigger(11));
    EXPECT_EQ(S_OK, tracker->sendString(OLESTR("before the fault")));
    ASSERT_TRUE(receiveSamples(*tracker, 100, times));

    server->stop();
    ASSERT_TRUE(waitForStatus(*tracker, 0x40)) << "the loss of the server was not noticed";
    for (bool on : {false, true}) {
        const Reply reply = tracker->setRecording(on);
        EXPECT_EQ(S_FALSE, reply.result);
        EXPECT_EQ(kNotConnected, reply.message);
    }
    EXPECT_EQ(kNotConnected, tracker->getLastError().message);
    // Recording is off now: nothing more is queued.
    EXPECT_EQ(S_OK, tracker->sendTrigger(12));
    drainEvents(*tracker, times);

    const std::vector<fs::path> files = recordingFiles(folder());
    ASSERT_EQ(1u, files.size());
    EXPECT_TRUE(heldOpen(files[0])) << "the file must stay open until teardown";
    tracker.reset();
    EXPECT_FALSE(heldOpen(files[0]));

    EXPECT_EQ("", completeAndGapless(files[0]));
    const tyvarion::tools::Recording recording = readRecording(files[0]);
    ASSERT_EQ(2u, recording.texts.size());
    EXPECT_EQ("trigger: 11", recording.texts[0].text);
    EXPECT_EQ("message: before the fault", recording.texts[1].text);
    // Every sample the host saw is in the file; blinks make none but are there.
    std::set<std::uint64_t> recorded;
    for (const auto& sample : recording.samples) recorded.insert(static_cast<std::uint64_t>(sample.timeMicros));
    for (std::uint64_t time : times) EXPECT_TRUE(recorded.count(time)) << "sample " << time << " is not in the file";
    ASSERT_FALSE(recording.samples.empty());
    EXPECT_EQ(0, recording.samples.front().index);
    EXPECT_GE(recording.samples.size(), 300u);
}

TEST_F(Faults, TheDocumentsFolderBecomesUnusable) {
    startRecordingSession(*tracker);
    ASSERT_TRUE(receiveSamples(*tracker, 100, times));
    EXPECT_EQ(S_OK, tracker->sendTrigger(21));

    documentsSetting.reset();
    documentsSetting.emplace(unusableDocumentsFolder());
    Reply reply = tracker->setRecording(true);
    EXPECT_EQ(S_OK, reply.result);
    EXPECT_EQ("could not create directory in documents folder", reply.message);
    // The host goes on getting its events and answers.
    ASSERT_TRUE(receiveSamples(*tracker, 100, times));
    LONG status = 0;
    EXPECT_EQ(S_OK, tracker->getStatus(status));
    EXPECT_EQ(0x07, status & ~0x08);
    EXPECT_EQ(S_OK, tracker->sendTrigger(22));
    reply = tracker->setRecording(false);
    EXPECT_EQ(S_OK, reply.result);
    EXPECT_EQ("", reply.message);
    tracker.reset();

    // The earlier file was closed whole, with the trigger sent into it.
    const std::vector<fs::path> files = recordingFiles(folder());
    ASSERT_EQ(1u, files.size());
    EXPECT_EQ("", completeAndGapless(files[0]));
    const tyvarion::tools::Recording recording = readRecording(files[0]);
    ASSERT_EQ(1u, recording.texts.size());
    EXPECT_EQ("trigger: 21", recording.texts[0].text);
}

class FloodFaults : public Faults {
protected:
    std::vector<std::string> serverArguments() const override { return {"--rate", "50000"}; }
};

TEST_F(FloodFaults, TheHostReleasesTheObjectWhileSamplesFloodAndRecordingIsOn) {
    startRecordingSession(*tracker);
    ASSERT_TRUE(receiveSamples(*tracker, 20000, times));
    EXPECT_EQ(S_OK, tracker->sendTrigger(31));

    const auto releaseStart = std::chrono::steady_clock::now();
    tracker.reset();
    std::printf("teardown while flooding took %.1f ms\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - releaseStart).count());

    const std::vector<fs::path> files = recordingFiles(folder());
    ASSERT_EQ(1u, files.size());
    EXPECT_FALSE(heldOpen(files[0]));
    // A writer the scheduler holds back may lose samples at this rate (the
    // queue keeps the newest); lines are whole all the same.
    EXPECT_EQ("", complete(files[0]));
    const tyvarion::tools::Recording recording = readRecording(files[0]);
    ASSERT_EQ(1u, recording.texts.size());
    EXPECT_EQ("trigger: 31", recording.texts[0].text);
    EXPECT_GE(recording.samples.size(), 20000u);
}

class WriteFaults : public Faults {
protected:
    std::vector<std::string> serverArguments() const override { return {"--rate", "10000"}; }

    // Records until the plug-in reports a failed write, then checks what the
    // host is told and what the file holds; the reason the system gave must
    // be one of `reasons`.
    void recordUntilTheWritesFail(const fs::path& failing, const std::vector<std::string>& reasons) {
        documentsSetting.reset();
        documentsSetting.emplace(failing);
        startRecordingSession(*tracker);
        const std::string failed = "failed to write the recording file: ";
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (tracker->getLastError().message.rfind(failed, 0) != 0 && std::chrono::steady_clock::now() < giveUp)
            ASSERT_TRUE(receiveSamples(*tracker, 1000, times));
        const std::string told = tracker->getLastError().message;
        ASSERT_EQ(0u, told.rfind(failed, 0)) << told;
        const std::string reason = told.substr(failed.size());
        ASSERT_NE(reasons.end(), std::find(reasons.begin(), reasons.end(), reason)) << told;

        // The host goes on getting its events and answers as before.
        ASSERT_TRUE(receiveSamples(*tracker, 2000, times));
        LONG status = 0;
        EXPECT_EQ(S_OK, tracker->getStatus(status));
        EXPECT_EQ(0x0F, status);
        EXPECT_EQ(S_OK, tracker->sendTrigger(41));
        EXPECT_EQ(S_OK, tracker->sendString(OLESTR("after the failure")));
        const Reply stop = tracker->setRecording(false);
        EXPECT_EQ(S_OK, stop.result);
        const std::string incomplete = "the recording file is incomplete: ";
        const std::string because = " lines could not be written (" + reason + ")";
        ASSERT_EQ(0u, stop.message.find(incomplete)) << stop.message;
        ASSERT_GT(stop.message.size(), incomplete.size() + because.size()) << stop.message;
        const std::string lines = stop.message.substr(incomplete.size(), stop.message.size() - incomplete.size() - because.size());
        EXPECT_EQ(because, stop.message.substr(incomplete.size() + lines.size()));
        EXPECT_GE(std::stoull(lines), 2000u) << stop.message;
        EXPECT_EQ(std::string::npos, lines.find_first_not_of("0123456789")) << stop.message;

        // The file ends with its last whole line.
        const std::vector<fs::path> files = recordingFiles(folder(failing));
        ASSERT_EQ(1u, files.size());
        EXPECT_EQ("", completeAndGapless(files[0]));
        EXPECT_EQ(0u, fileBytes(files[0]).find("Sep=;"));
    }

    // The next recording, on a disk with room, is whole and answers as usual.
    void recordOnADiskWithRoom() {
        documentsSetting.reset();
        documentsSetting.emplace(documents.path());
        Reply reply = tracker->setRecording(true);
        EXPECT_EQ(S_OK, reply.result);
        EXPECT_EQ("", reply.message);
        ASSERT_TRUE(receiveSamples(*tracker, 1000, times));
        EXPECT_EQ(S_OK, tracker->sendTrigger(42));
        ASSERT_TRUE(receiveSamples(*tracker, 1000, times));
        reply = tracker->setRecording(false);
        EXPECT_EQ(S_OK, reply.result);
        EXPECT_EQ("", reply.message);
        tracker.reset();
        const std::vector<fs::path> next = recordingFiles(folder(documents.path()));
        ASSERT_EQ(1u, next.size());
        EXPECT_EQ("", completeAndGapless(next[0]));
        const tyvarion::tools::Recording recording = readRecording(next[0]);
        ASSERT_EQ(1u, recording.texts.size());
        EXPECT_EQ("trigger: 42", recording.texts[0].text);
        EXPECT_GE(recording.samples.size(), 1000u);
    }

    static fs::path folder(const fs::path& base) { return base / "Tyvarion" / "NBS Presentation"; }
};

TEST_F(WriteFaults, AFullDiskIsReportedAndTheFileEndsWithAWholeLine) {
    SmallDisk disk;
    if (disk.path().empty()) GTEST_SKIP() << disk.why();
    ASSERT_NO_FATAL_FAILURE(recordUntilTheWritesFail(disk.path(), {"the disk is full"}));
    recordOnADiskWithRoom();
}

#ifdef TYVARION_FAULTS_THROUGH_COM

// A Windows program cannot set its own file size limit: the test named
// fault_tests_file_size_limit runs this one under a limit that scripts/wine-run
// sets for the program alone (TYVARION_FILE_SIZE_LIMIT names it). Wine turns
// the system's "file too large" into ERROR_GEN_FAILURE, whose text the plug-in
// then passes on; a Wine that maps it to ERROR_FILE_TOO_LARGE gets ours.
TEST_F(WriteFaults, WritesFailAtTheFileSizeLimit) {
    const char* limit = std::getenv("TYVARION_FILE_SIZE_LIMIT");
    if (limit == nullptr || *limit == '\0')
        GTEST_SKIP() << "no file size limit was set for this program (the test fault_tests_file_size_limit sets one)";
    rs::ScratchFolder limited;
    ASSERT_NO_FATAL_FAILURE(
        recordUntilTheWritesFail(limited.path(), {"the file has reached the largest size allowed", "general failure"}));
    // The limit holds for every file of this program; the next recording stays under it.
    recordOnADiskWithRoom();
}

#else

TEST_F(WriteFaults, WritesFailAtTheFileSizeLimit) {
    rs::ScratchFolder limited;
    {
        rs::ScopedFileSizeLimit limit(100 * 1024);
        ASSERT_NO_FATAL_FAILURE(
            recordUntilTheWritesFail(limited.path(), {"the file has reached the largest size allowed"}));
    }
    recordOnADiskWithRoom();
}

#endif

}  // namespace
}  // namespace faults
