// What reaches the recording file while it is open, and a write that fails:
// every batch is in the file before the next one is taken, the header as soon
// as the file is open; at the first failed write the file is cut back to its
// last whole line, the lost lines are counted, and GetLastError, the stop and
// the debugger's line say so. The failures come from the process's file size
// limit (POSIX); the full disk is in the fault tests.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "host_replies.h"
#include "recording_fake_client.h"
#include "tracker/tyvarion.h"

using fake::FakeClient;
using testing_support::lastError;
using testing_support::setRecording;
using testing_support::status;
using tyvarion::RecordingProbe;
using tyvarion::Tyvarion;
using tyvarion::WriterState;
namespace rs = recording_support;

namespace {

using rs::kFirstName;
using rs::kLongDeadline;
using rs::kSecondName;

class RecordingHandOverTest : public rs::RecordingWithFakeClientTest {};

TEST_F(RecordingHandOverTest, TheHeaderAndEachBatchAreInTheFileWhileItIsOpen) {
    Tyvarion tracker;
    RecordingProbe::setWriterPacing(tracker, 1000, kLongDeadline);
    ASSERT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
    EXPECT_EQ(rs::onDisk(rs::kHeader), file(kFirstName));

    // The sleeping writer takes the first entry at once and writes it out.
    deliver(1);
    ASSERT_TRUE(RecordingProbe::waitUntilWriter(tracker, WriterState::lingering));
    EXPECT_EQ(rs::onDisk(rs::kHeader + sampleLine(1)), file(kFirstName));

    // While it lingers the next entries wait in the queue, not in the file's
    // buffer; its deadline writes them out together.
    deliver(2);
    EXPECT_HR(S_OK, tracker.SendTrigger(5));
    deliver(3);
    EXPECT_EQ(rs::onDisk(rs::kHeader + sampleLine(1)), file(kFirstName));
    RecordingProbe::moveWriterClockOn(tracker, kLongDeadline);
    ASSERT_TRUE(RecordingProbe::waitUntilQueueEmpty(tracker));
    ASSERT_TRUE(RecordingProbe::waitUntilWriter(tracker, WriterState::lingering));
    EXPECT_EQ(rs::onDisk(rs::kHeader + sampleLine(1) + sampleLine(2) + "trigger: 5\n" + sampleLine(3)),
              file(kFirstName));
    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_FALSE));
}

#ifndef _WIN32

using rs::ScopedFileSizeLimit;

constexpr const char* kTooLarge = "the file has reached the largest size allowed";

TEST_F(RecordingHandOverTest, AFailedWriteCutsTheFileBackToItsLastWholeLineAndIsReported) {
    const std::string header = rs::kHeader;
    // Room for the header, two sample lines and part of the third.
    ScopedFileSizeLimit limit(header.size() + 2 * sampleLine(1).size() + 10);
    Tyvarion tracker;
    RecordingProbe::setWriterPacing(tracker, 1000, kLongDeadline);
    ASSERT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
    const LONG statusBefore = status(tracker);
    RecordingProbe::stallWriter(tracker);
    for (int index = 1; index <= 5; ++index) deliver(index);
    EXPECT_HR(S_OK, tracker.SendString(const_cast<OLECHAR*>(OLESTR("after the limit"))));
    // Captured before the writer may run: it tells the failure the moment it meets it.
    testing::internal::CaptureStderr();
    RecordingProbe::resumeWriter(tracker);
    RecordingProbe::moveWriterClockOn(tracker, kLongDeadline);

    // The writer's batch met the limit: told once, the host's answers unchanged.
    // The resumed writer takes the batch at once, before or after the clock
    // moves on, and then lingers or, its linger over, sleeps.
    ASSERT_TRUE(RecordingProbe::waitUntilQueueEmpty(tracker));
    ASSERT_TRUE(RecordingProbe::waitUntilWriterWaits(tracker));
    deliver(6);
    EXPECT_HR(S_OK, tracker.SendTrigger(9));
    RecordingProbe::moveWriterClockOn(tracker, kLongDeadline);
    ASSERT_TRUE(RecordingProbe::waitUntilQueueEmpty(tracker));
    EXPECT_EQ(std::string("failed to write the recording file: ") + kTooLarge, lastError(tracker));
    EXPECT_EQ(statusBefore, status(tracker));
    EXPECT_EQ(rs::onDisk(header + sampleLine(1) + sampleLine(2)), file(kFirstName));

    // Lines 3 to 5, the message, sample 6 and the trigger.
    EXPECT_EQ(std::string("0x00000000 the recording file is incomplete: 6 lines could not be written (") +
                  kTooLarge + ")",
              setRecording(tracker, VARIANT_FALSE));
    EXPECT_EQ(std::string("TyvarionNBS: failed to write the recording file: ") + kTooLarge + "\n",
              testing::internal::GetCapturedStderr());
    EXPECT_EQ(rs::onDisk(header + sampleLine(1) + sampleLine(2)), file(kFirstName));

    // The next recording starts afresh; the last error stays until overwritten.
    limit.lift();
    rs::FixedClock::setLocal(2024, 3, 5, 14, 7, 10);
    ASSERT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
    deliver(7);
    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_FALSE));
    EXPECT_EQ(rs::onDisk(header + sampleLine(7)), file(kSecondName));
    EXPECT_EQ(std::string("failed to write the recording file: ") + kTooLarge, lastError(tracker));
}

TEST_F(RecordingHandOverTest, AHeaderThatCannotBeWrittenIsReportedByTheStartAndTheRestartAndTeardown) {
    ScopedFileSizeLimit limit(3);
    {
        Tyvarion tracker;
        RecordingProbe::setWriterPacing(tracker, 1000, kLongDeadline);
        // The file is open and recording is on; nothing of the header is left in it.
        EXPECT_EQ(std::string("0x00000000 failed to write the recording file: ") + kTooLarge,
                  setRecording(tracker, VARIANT_TRUE));
        EXPECT_EQ(0x08, status(tracker) & 0x08);
        EXPECT_EQ("", file(kFirstName));
        EXPECT_HR(S_OK, tracker.SendTrigger(1));

        // A restart reports the earlier file; the new one fails in its turn.
        rs::FixedClock::setLocal(2024, 3, 5, 14, 7, 10);
        EXPECT_EQ(std::string("0x00000000 failed to write the recording file: ") + kTooLarge,
                  setRecording(tracker, VARIANT_TRUE));
        // Captured output goes through a file, which the limit would stop.
        limit.lift();
        testing::internal::CaptureStderr();
        EXPECT_HR(S_OK, tracker.SendTrigger(2));
        deliver(1);
    }
    // Teardown: the second file lost its header, the trigger and the sample.
    EXPECT_EQ(std::string("TyvarionNBS: the recording file is incomplete: 4 lines could not be written (") + kTooLarge + ")\n",
              testing::internal::GetCapturedStderr());
    EXPECT_EQ("", file(kFirstName));
    EXPECT_EQ("", file(kSecondName));
}

#endif  // _WIN32

}  // namespace
