// Faults in the middle of a recording, through the tracker object as this
// build's host reaches it: the server process ends, the Documents folder
// becomes unusable, writes fail at the file size limit, and the host releases
// the object while samples flood. In every case the plug-in goes on serving
// the host, teardown completes, and what reached the file is whole.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <optional>

#include "fault_support.h"
#include "harness/server_process.h"
#include "recording_support.h"

#ifdef TYVARION_FAULTS_THROUGH_COM
#include "com_test_support.h"
#else
#include <sys/resource.h>
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

#ifndef TYVARION_FAULTS_THROUGH_COM

// A file size limit for this process, lifted again at the end of the scope.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        EXPECT_EQ(0, setrlimit(RLIMIT_FSIZE, &limit));
    }
    ~ScopedFileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    rlimit saved_{};
};

class WriteFaults : public Faults {
protected:
    std::vector<std::string> serverArguments() const override { return {"--rate", "10000"}; }
};

TEST_F(WriteFaults, WritesFailAtTheFileSizeLimit) {
    constexpr rlim_t kLimit = 100 * 1024;
    {
        ScopedFileSizeLimit limit(kLimit);
        startRecordingSession(*tracker);
        // About 900 KiB of lines: the limit is reached early.
        ASSERT_TRUE(receiveSamples(*tracker, 10000, times));
        LONG status = 0;
        EXPECT_EQ(S_OK, tracker->getStatus(status));
        EXPECT_EQ(0x0F, status);
        EXPECT_EQ(S_OK, tracker->sendTrigger(41));
        // A stop and a new start: the new file fills up as well.
        Reply reply = tracker->setRecording(false);
        EXPECT_EQ(S_OK, reply.result);
        EXPECT_EQ("", reply.message);
        reply = tracker->setRecording(true);
        EXPECT_EQ(S_OK, reply.result);
        EXPECT_EQ("", reply.message);
        ASSERT_TRUE(receiveSamples(*tracker, 10000, times));
        tracker.reset();
    }
    const std::vector<fs::path> files = recordingFiles(folder());
    ASSERT_EQ(2u, files.size());
    for (const fs::path& file : files) {
        // Written up to the limit, and not a byte beyond.
        EXPECT_EQ(kLimit, fs::file_size(file)) << file;
        EXPECT_EQ(0u, fileBytes(file).find("Sep=;\ntimestamp [us];"));
    }
}

#endif

}  // namespace
}  // namespace faults
