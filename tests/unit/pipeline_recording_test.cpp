// Sample intake's hand-off to the recording: what is queued for the writer,
// and when, with the writer held still so that the queue can be read.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_tyapi.h"
#include "recording_support.h"
#include "test_support.h"
#include "tracker/tyvarion.h"

using fake::FakeClient;
using testing_support::utf8;
using tyvarion::RecordingProbe;
using tyvarion::Tyvarion;
using tyvarion::unique_bstr;
namespace rs = recording_support;

namespace {

class PipelineRecordingTest : public ::testing::Test {
protected:
    PipelineRecordingTest() : documentsSetting(scratch.path()) {}

    void SetUp() override {
        FakeClient::reset();
        rs::FixedClock::setLocal(2024, 3, 5, 14, 7, 9);
    }

    std::string recordedFile() const {
        return rs::readFile(scratch.path() / "Tyvarion" / "NBS Presentation" /
                            "tyvarion_NBS_2024-03-05-14-07-09.csv");
    }

    static void setRecording(Tyvarion& tracker, VARIANT_BOOL on) {
        unique_bstr message;
        ASSERT_HR(S_OK, tracker.SetRecording(on, message.put()));
        ASSERT_EQ("", utf8(message));
    }

    static void deliver(int index) {
        FakeClient::deliverSample(fake::validSample(1000 + index, index));
    }

    static LONG eventCount(Tyvarion& tracker) {
        LONG count = -1;
        EXPECT_HR(S_OK, tracker.GetEventCount(&count));
        return count;
    }

    rs::ScratchFolder scratch;
    rs::FixedClock clock;
    rs::ScopedDocumentsFolder documentsSetting;
};

using Queue = std::vector<std::string>;

}  // namespace

TEST_F(PipelineRecordingTest, SamplesAreQueuedWhileRecordingWhateverTheDataSelection) {
    {
        Tyvarion tracker;
        RecordingProbe::stallWriter(tracker);

        deliver(1);  // not recording: no trace at all
        EXPECT_EQ(Queue{}, RecordingProbe::queued(tracker));
        EXPECT_EQ(0, eventCount(tracker));

        setRecording(tracker, VARIANT_TRUE);
        // No data kind selected: no event, but the sample is recorded.
        deliver(2);
        ASSERT_HR(S_OK, tracker.SendTrigger(5));
        // The sample is copied: the client may reuse its buffer at once.
        tyapi::TYGazeSample reused = fake::validSample(1003, 3);
        FakeClient::deliverSample(reused);
        reused = fake::validSample(9999, 99);
        EXPECT_EQ((Queue{"sample 2", "trigger: 5", "sample 3"}), RecordingProbe::queued(tracker));
        EXPECT_EQ(0, eventCount(tracker));

        // End of tracking leaves recording on; loss of the connection ends it.
        FakeClient::deliverDeviceEvent(tyapi::DEVICE_EVENT_TRACKING_STOPPED);
        deliver(4);
        FakeClient::deliverDeviceEvent(tyapi::DEVICE_EVENT_CONNECTION_LOST);
        deliver(5);
        ASSERT_HR(S_OK, tracker.SendTrigger(6));
        EXPECT_EQ((Queue{"sample 2", "trigger: 5", "sample 3", "sample 4"}),
                  RecordingProbe::queued(tracker));
        RecordingProbe::resumeWriter(tracker);
    }
    // The file stays open until teardown and holds every entry queued.
    EXPECT_EQ(rs::onDisk(std::string(rs::kHeader) +
                         "1002;2;960;540;958;540;4;962;540;6;\n"
                         "trigger: 5\n"
                         "1003;3;960;540;958;540;4;962;540;6;\n"
                         "1004;4;960;540;958;540;4;962;540;6;\n"),
              recordedFile());
}

TEST_F(PipelineRecordingTest, SamplesAfterAStopAreNotQueued) {
    Tyvarion tracker;
    unique_bstr message;
    ASSERT_HR(S_OK, tracker.StartData(tyvarion::ET2_DT_POSITION, tyvarion::ET2_ET_DEFAULT,
                                      message.put()));
    setRecording(tracker, VARIANT_TRUE);
    setRecording(tracker, VARIANT_FALSE);
    RecordingProbe::stallWriter(tracker);
    deliver(1);
    EXPECT_EQ(Queue{}, RecordingProbe::queued(tracker));
    EXPECT_EQ(1, eventCount(tracker));  // events do not depend on recording
    RecordingProbe::resumeWriter(tracker);
}
