// The recording queue and its writer: the bound of the queue, the discard while no
// file is open, the entries still queued when a file closes (stop, restart,
// teardown, also while the writer lingers), the wake mark and the deadline, the
// recording flag after a failed restart, and lines sent while no samples arrive.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "host_replies.h"
#include "recording_fake_client.h"
#include "tracker/tyvarion.h"

using fake::FakeClient;
using testing_support::setRecording;
using testing_support::status;
using testing_support::utf8;
using tyvarion::RecordingProbe;
using tyvarion::Tyvarion;
using tyvarion::unique_bstr;
using tyvarion::WriterState;
namespace fs = std::filesystem;
namespace rs = recording_support;

namespace {

using rs::kFirstName;
using rs::kLongDeadline;
using rs::kSecondName;

class RecordingWriterTest : public rs::RecordingWithFakeClientTest {};

}  // namespace

TEST_F(RecordingWriterTest, AStalledWriterLeavesTheNewestEntriesUpToTheBound) {
    Tyvarion tracker;
    ASSERT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
    RecordingProbe::stallWriter(tracker);

    constexpr int kPushed = static_cast<int>(tyvarion::kRecordQueueKeep) + 1;
    for (int code = 0; code < kPushed; ++code) EXPECT_HR(S_OK, tracker.SendTrigger(code));
    std::vector<std::string> expected;
    for (int code = 1; code < kPushed; ++code) expected.push_back("trigger: " + std::to_string(code));
    EXPECT_EQ(expected, RecordingProbe::queued(tracker));

    // Every producer drops the oldest entry, whatever its kind.
    deliver(7);
    EXPECT_HR(S_OK, tracker.SendString(const_cast<LPWSTR>(OLESTR("last"))));
    expected.erase(expected.begin(), expected.begin() + 2);
    expected.push_back("sample 7");
    expected.push_back("message: last");
    EXPECT_EQ(expected, RecordingProbe::queued(tracker));

    // The stop writes what is still queued before it closes the file.
    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_FALSE));
    EXPECT_EQ(std::vector<std::string>{}, RecordingProbe::queued(tracker));
    std::string lines = rs::kHeader;
    for (int code = 3; code < kPushed; ++code) lines += "trigger: " + std::to_string(code) + "\n";
    lines += sampleLine(7) + "message: last\n";
    EXPECT_EQ(rs::onDisk(lines), file(kFirstName));
    RecordingProbe::resumeWriter(tracker);
}

TEST_F(RecordingWriterTest, ARestartWritesTheQueuedEntriesIntoTheEarlierFile) {
    Tyvarion tracker;
    ASSERT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
    deliver(1);
    EXPECT_TRUE(RecordingProbe::waitUntilQueueEmpty(tracker));
    RecordingProbe::stallWriter(tracker);
    deliver(2);
    EXPECT_HR(S_OK, tracker.SendTrigger(2));

    rs::FixedClock::setLocal(2024, 3, 5, 14, 7, 10);
    ASSERT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
    EXPECT_EQ(std::vector<std::string>{}, RecordingProbe::queued(tracker));
    EXPECT_EQ(rs::onDisk(rs::kHeader + sampleLine(1) + sampleLine(2) + "trigger: 2\n"),
              file(kFirstName));

    RecordingProbe::resumeWriter(tracker);
    deliver(3);
    EXPECT_TRUE(RecordingProbe::waitUntilQueueEmpty(tracker));
    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_FALSE));
    EXPECT_EQ(rs::onDisk(rs::kHeader + sampleLine(3)), file(kSecondName));
}

TEST_F(RecordingWriterTest, TeardownWritesTheQueuedEntriesBeforeItClosesTheFile) {
    {
        Tyvarion tracker;
        ASSERT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
        deliver(1);
        EXPECT_HR(S_OK, tracker.SendTrigger(1));
        EXPECT_TRUE(RecordingProbe::waitUntilQueueEmpty(tracker));
        RecordingProbe::stallWriter(tracker);
        deliver(2);
        EXPECT_HR(S_OK, tracker.SendString(const_cast<LPWSTR>(OLESTR("bye"))));
        EXPECT_EQ((std::vector<std::string>{"sample 2", "message: bye"}),
                  RecordingProbe::queued(tracker));
    }
    EXPECT_EQ(rs::onDisk(rs::kHeader + sampleLine(1) + "trigger: 1\n" + sampleLine(2) +
                         "message: bye\n"),
              file(kFirstName));
}

TEST_F(RecordingWriterTest, ATriggerSentWhileTheWriterLingersEndsUpInTheFileOnAStop) {
    Tyvarion tracker;
    RecordingProbe::setWriterPacing(tracker, 1000, kLongDeadline);
    ASSERT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
    // The first entry wakes the sleeping writer, which takes it and lingers.
    deliver(1);
    ASSERT_TRUE(RecordingProbe::waitUntilWriter(tracker, WriterState::lingering));
    EXPECT_EQ(std::vector<std::string>{}, RecordingProbe::queued(tracker));

    EXPECT_HR(S_OK, tracker.SendTrigger(5));
    deliver(2);
    EXPECT_EQ((std::vector<std::string>{"trigger: 5", "sample 2"}), RecordingProbe::queued(tracker));

    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_FALSE));
    EXPECT_EQ(std::vector<std::string>{}, RecordingProbe::queued(tracker));
    EXPECT_EQ(rs::onDisk(rs::kHeader + sampleLine(1) + "trigger: 5\n" + sampleLine(2)),
              file(kFirstName));
}

TEST_F(RecordingWriterTest, TeardownWhileTheWriterLingersWritesEveryAcceptedLine) {
    {
        Tyvarion tracker;
        RecordingProbe::setWriterPacing(tracker, 1000, kLongDeadline);
        ASSERT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
        deliver(1);
        ASSERT_TRUE(RecordingProbe::waitUntilWriter(tracker, WriterState::lingering));
        deliver(2);
        EXPECT_HR(S_OK, tracker.SendString(const_cast<LPWSTR>(OLESTR("bye"))));
        EXPECT_HR(S_OK, tracker.SendTrigger(9));
        deliver(3);
        EXPECT_EQ((std::vector<std::string>{"sample 2", "message: bye", "trigger: 9", "sample 3"}),
                  RecordingProbe::queued(tracker));
    }
    EXPECT_EQ(rs::onDisk(rs::kHeader + sampleLine(1) + sampleLine(2) + "message: bye\ntrigger: 9\n" +
                         sampleLine(3)),
              file(kFirstName));
}

TEST_F(RecordingWriterTest, ALingeringWriterTakesTheQueueAtTheWakeMarkOrAtItsDeadline) {
    Tyvarion tracker;
    RecordingProbe::setWriterPacing(tracker, 3, kLongDeadline);
    ASSERT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
    deliver(1);
    ASSERT_TRUE(RecordingProbe::waitUntilWriter(tracker, WriterState::lingering));

    // Below the mark the entries wait; the one that reaches it wakes the writer.
    deliver(2);
    deliver(3);
    EXPECT_EQ((std::vector<std::string>{"sample 2", "sample 3"}), RecordingProbe::queued(tracker));
    deliver(4);
    EXPECT_TRUE(RecordingProbe::waitUntilQueueEmpty(tracker));

    // The writer lingers again after that batch; its deadline takes a single trigger.
    ASSERT_TRUE(RecordingProbe::waitUntilWriter(tracker, WriterState::lingering));
    EXPECT_HR(S_OK, tracker.SendTrigger(7));
    EXPECT_EQ(std::vector<std::string>{"trigger: 7"}, RecordingProbe::queued(tracker));
    RecordingProbe::moveWriterClockOn(tracker, kLongDeadline);
    EXPECT_TRUE(RecordingProbe::waitUntilQueueEmpty(tracker));

    // A deadline that finds nothing queued puts the writer to sleep, and the
    // next entry wakes it at once.
    ASSERT_TRUE(RecordingProbe::waitUntilWriter(tracker, WriterState::lingering));
    RecordingProbe::moveWriterClockOn(tracker, kLongDeadline);
    ASSERT_TRUE(RecordingProbe::waitUntilWriter(tracker, WriterState::asleep));
    EXPECT_HR(S_OK, tracker.SendTrigger(8));
    EXPECT_TRUE(RecordingProbe::waitUntilQueueEmpty(tracker));

    // Everything taken was written, in order, before the stop closed the file.
    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_FALSE));
    EXPECT_EQ(rs::onDisk(rs::kHeader + sampleLine(1) + sampleLine(2) + sampleLine(3) +
                         sampleLine(4) + "trigger: 7\ntrigger: 8\n"),
              file(kFirstName));
}

TEST_F(RecordingWriterTest, EntriesQueuedWhileNoFileIsOpenAreDiscarded) {
    Tyvarion tracker;
    RecordingProbe::stallWriter(tracker);
    // Between a stop's closing of the file and its lowering of the flag, a
    // trigger still gets into the queue.
    RecordingProbe::raiseFlagWithoutFile(tracker);
    EXPECT_HR(S_OK, tracker.SendTrigger(13));
    EXPECT_EQ(std::vector<std::string>{"trigger: 13"}, RecordingProbe::queued(tracker));
    RecordingProbe::resumeWriter(tracker);
    EXPECT_TRUE(RecordingProbe::waitUntilQueueEmpty(tracker));

    // Nor does a late entry that the writer has not reached reach the next file.
    RecordingProbe::stallWriter(tracker);
    EXPECT_HR(S_OK, tracker.SendTrigger(14));
    ASSERT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
    EXPECT_EQ(std::vector<std::string>{}, RecordingProbe::queued(tracker));
    RecordingProbe::resumeWriter(tracker);
    EXPECT_HR(S_OK, tracker.SendTrigger(15));
    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_FALSE));
    EXPECT_EQ(rs::onDisk(std::string(rs::kHeader) + "trigger: 15\n"), file(kFirstName));
}

TEST_F(RecordingWriterTest, AFailedRestartLowersTheRecordingFlag) {
    Tyvarion tracker;
    ASSERT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
    EXPECT_HR(S_OK, tracker.SendTrigger(1));
    EXPECT_EQ(0x18, status(tracker));

    const fs::path blocked = scratch.path() / "Blocked";
    fs::create_directory(blocked);
    rs::writeFile(blocked / "Tyvarion", "in the way");
    {
        rs::ScopedDocumentsFolder elsewhere(blocked);
        EXPECT_EQ("0x00000000 could not create directory in documents folder",
                  setRecording(tracker, VARIANT_TRUE));
    }
    EXPECT_FALSE(RecordingProbe::fileOpen(tracker));
    EXPECT_EQ(0x10, status(tracker));  // no file, so not recording
    EXPECT_EQ(rs::onDisk(std::string(rs::kHeader) + "trigger: 1\n"), file(kFirstName));

    // Nothing is queued until a start succeeds.
    EXPECT_HR(S_OK, tracker.SendTrigger(2));
    deliver(2);
    EXPECT_EQ(std::vector<std::string>{}, RecordingProbe::queued(tracker));

    rs::FixedClock::setLocal(2024, 3, 5, 14, 7, 10);
    ASSERT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
    EXPECT_EQ(0x18, status(tracker));
    EXPECT_HR(S_OK, tracker.SendTrigger(3));
    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_FALSE));
    EXPECT_EQ(rs::onDisk(std::string(rs::kHeader) + "trigger: 3\n"), file(kSecondName));
}

TEST_F(RecordingWriterTest, ATriggerWithNoSamplesFlowingReachesTheWriter) {
    Tyvarion tracker;
    ASSERT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
    deliver(1);
    EXPECT_TRUE(RecordingProbe::waitUntilQueueEmpty(tracker));  // the writer sleeps now

    EXPECT_HR(S_OK, tracker.SendTrigger(21));
    EXPECT_TRUE(RecordingProbe::waitUntilQueueEmpty(tracker)) << "the trigger waits in the queue";
    EXPECT_HR(S_OK, tracker.SendString(const_cast<LPWSTR>(OLESTR("ok"))));
    EXPECT_TRUE(RecordingProbe::waitUntilQueueEmpty(tracker)) << "the message waits in the queue";

    // The writer took both before the stop; the stop then finds nothing queued.
    RecordingProbe::stallWriter(tracker);
    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_FALSE));
    EXPECT_EQ(rs::onDisk(rs::kHeader + sampleLine(1) + "trigger: 21\nmessage: ok\n"),
              file(kFirstName));
    RecordingProbe::resumeWriter(tracker);
}

TEST_F(RecordingWriterTest, ConcurrentProducersNeverSplitOrReorderLines) {
    constexpr int kSamples = 4000;
    constexpr int kTriggers = 2000;
    {
        Tyvarion tracker;
        ASSERT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
        std::thread intake([] {
            for (int index = 0; index < kSamples; ++index) deliver(index);
        });
        for (int code = 0; code < kTriggers; ++code) tracker.SendTrigger(code);
        intake.join();
    }

    // Entries may be dropped under load, but every line is whole, and each
    // producer's lines keep their order.
    const std::string text = file(kFirstName);
    const std::string header = rs::onDisk(rs::kHeader);
    ASSERT_EQ(header, text.substr(0, header.size()));
    std::size_t position = header.size();
    int lastIndex = -1;
    int lastCode = -1;
    int lines = 0;
    while (position < text.size()) {
        const std::size_t end = text.find(rs::kLineEnd, position);
        ASSERT_NE(std::string::npos, end) << "an unterminated line";
        const std::string line = text.substr(position, end - position);
        position = end + std::string(rs::kLineEnd).size();
        ++lines;
        if (line.rfind("trigger: ", 0) == 0) {
            const int code = std::stoi(line.substr(9));
            ASSERT_EQ("trigger: " + std::to_string(code), line);
            ASSERT_LT(lastCode, code);
            lastCode = code;
        } else {
            const int index = std::stoi(line.substr(line.find(';') + 1));
            ASSERT_EQ(sampleLine(index), line + "\n");
            ASSERT_LT(lastIndex, index);
            lastIndex = index;
        }
    }
    EXPECT_LE(lines, kSamples + kTriggers);
    // The very last entry was never dropped: teardown writes what is queued.
    EXPECT_TRUE(lastIndex == kSamples - 1 || lastCode == kTriggers - 1)
        << "last sample " << lastIndex << ", last trigger " << lastCode;
}

TEST_F(RecordingWriterTest, RestartsWhileSamplesStreamKeepEachFileInOrder) {
    constexpr int kSamples = 20000;
    constexpr int kFiles = 12;
    {
        Tyvarion tracker;
        ASSERT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
        std::atomic<bool> done{false};
        std::thread intake([&] {
            for (int index = 0; index < kSamples; ++index) deliver(index);
            done = true;
        });
        // Each restart closes a file while the writer may be formatting lines
        // it took for it: those must end that file, not begin the next one.
        for (int second = 10; second < 10 + kFiles - 1; ++second) {
            while (!done && RecordingProbe::queued(tracker).empty()) std::this_thread::yield();
            rs::FixedClock::setLocal(2024, 3, 5, 14, 7, second);
            ASSERT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
        }
        intake.join();
    }

    // Files in the order they were opened: every sample line whole, indices
    // rising from one file to the next.
    const std::vector<std::string> names = rs::listFolder(recordings());
    ASSERT_EQ(static_cast<std::size_t>(kFiles), names.size());
    const std::string header = rs::onDisk(rs::kHeader);
    int lastIndex = -1;
    for (const std::string& name : names) {
        const std::string text = rs::readFile(recordings() / name);
        ASSERT_EQ(header, text.substr(0, header.size())) << name;
        std::size_t position = header.size();
        while (position < text.size()) {
            const std::size_t end = text.find(rs::kLineEnd, position);
            ASSERT_NE(std::string::npos, end) << name << ": an unterminated line";
            const std::string line = text.substr(position, end - position);
            position = end + std::string(rs::kLineEnd).size();
            const int index = std::stoi(line.substr(line.find(';') + 1));
            ASSERT_EQ(sampleLine(index), line + "\n") << name;
            ASSERT_LT(lastIndex, index) << name;
            lastIndex = index;
        }
    }
    EXPECT_EQ(kSamples - 1, lastIndex);
}
