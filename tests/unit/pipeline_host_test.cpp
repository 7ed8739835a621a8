// The gaze data pipeline through the tracker object: samples delivered by the
// client fake, events fetched as the host fetches them, data selection,
// display size and device events.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_tyapi.h"
#include "pipeline_support.h"
#include "host_replies.h"
#include "test_support.h"
#include "tracker/tyvarion.h"

using fake::FakeClient;
using pipeline_support::eventNames;
using testing_support::lastError;
using testing_support::status;
using testing_support::utf8;
using tyvarion::EyeTracker2DataType;
using tyvarion::EyeTracker2EyeType;
using tyvarion::EyeTracker2GeneralData;
using tyvarion::Tyvarion;
using tyvarion::unique_bstr;
using namespace tyvarion;

namespace {

class PipelineTest : public ::testing::Test {
protected:
    void SetUp() override { FakeClient::reset(); }

    // Everything queued, fetched in one call.
    static std::vector<EyeTracker2GeneralData> fetchAll(Tyvarion& tracker) {
        LONG count = -1;
        EXPECT_HR(S_OK, tracker.GetEventCount(&count));
        std::vector<EyeTracker2GeneralData> events(static_cast<std::size_t>(count) + 1);
        LONG fetched = count + 1;
        EXPECT_HR(S_OK, tracker.GetEvents(&fetched, events.data()));
        EXPECT_EQ(count, fetched);
        events.resize(static_cast<std::size_t>(fetched));
        return events;
    }

    static LONG eventCount(Tyvarion& tracker) {
        LONG count = -1;
        EXPECT_HR(S_OK, tracker.GetEventCount(&count));
        return count;
    }

    static void start(Tyvarion& tracker, EyeTracker2DataType type, EyeTracker2EyeType eye) {
        unique_bstr message;
        ASSERT_HR(S_OK, tracker.StartData(type, eye, message.put()));
        ASSERT_EQ("", utf8(message));
    }

    static void startAllKinds(Tyvarion& tracker) {
        for (auto type : {ET2_DT_POSITION, ET2_DT_PUPIL})
            for (auto eye : {ET2_ET_DEFAULT, ET2_ET_LEFT, ET2_ET_RIGHT}) start(tracker, type, eye);
    }

    // The kinds of data selected now, seen as the events one sample makes.
    static std::string selectedKinds(Tyvarion& tracker) {
        EXPECT_EQ(0, eventCount(tracker));
        FakeClient::deliverSample(fake::validSample());
        return eventNames(fetchAll(tracker));
    }
};

constexpr const char* kAllKinds =
    "pos-default pos-left pos-right pupil-left pupil-right pupil-default";

// Type and eye values beyond the named ones, as a host may pass them.
const LONG kTypes[] = {-1, 0, 1, 2, 3, 4, 5, 6, 7, 12, 0x7FFFFFFF};
const LONG kEyes[] = {-1, 0, 1, 2, 3, 4, 0x7FFFFFFF};

}  // namespace

TEST_F(PipelineTest, GetEventsHandsOutTheOldestAndKeepsTheRestInOrder) {
    Tyvarion tracker;
    start(tracker, ET2_DT_POSITION, ET2_ET_DEFAULT);
    for (std::int64_t t = 1; t <= 5; ++t) FakeClient::deliverSample(fake::validSample(t));
    ASSERT_EQ(5, eventCount(tracker));

    EyeTracker2GeneralData sentinel;
    std::memset(&sentinel, 0xAB, sizeof sentinel);
    std::vector<EyeTracker2GeneralData> events(10, sentinel);
    const auto untouched = [&](std::size_t from) {
        for (std::size_t i = from; i < events.size(); ++i)
            if (std::memcmp(&events[i], &sentinel, sizeof sentinel) != 0) return false;
        return true;
    };

    LONG count = 0;  // asks for nothing
    EXPECT_HR(S_OK, tracker.GetEvents(&count, events.data()));
    EXPECT_EQ(0, count);
    EXPECT_TRUE(untouched(0));
    EXPECT_EQ(5, eventCount(tracker));

    count = -1;  // a negative count asks for nothing either
    EXPECT_HR(S_OK, tracker.GetEvents(&count, events.data()));
    EXPECT_EQ(0, count);
    EXPECT_TRUE(untouched(0));
    EXPECT_EQ(5, eventCount(tracker));

    count = 2;
    EXPECT_HR(S_OK, tracker.GetEvents(&count, events.data()));
    EXPECT_EQ(2, count);
    EXPECT_EQ(1u, events[0].time);
    EXPECT_EQ(2u, events[1].time);
    EXPECT_TRUE(untouched(2));
    EXPECT_EQ(3, eventCount(tracker));

    // Each record is handed out whole, exactly as it was made.
    EyeTracker2GeneralData expected;
    std::memset(&expected, 0, sizeof expected);  // padding included
    expected.type = ET2_DT_POSITION;
    expected.eye = ET2_ET_DEFAULT;
    expected.time = 3;
    std::fill(events.begin(), events.end(), sentinel);
    count = 10;
    EXPECT_HR(S_OK, tracker.GetEvents(&count, events.data()));
    EXPECT_EQ(3, count);
    EXPECT_EQ(0, std::memcmp(&expected, &events[0], sizeof expected));
    EXPECT_EQ(4u, events[1].time);
    EXPECT_EQ(5u, events[2].time);
    EXPECT_TRUE(untouched(3));
    EXPECT_EQ(0, eventCount(tracker));

    count = 10;  // an empty queue
    EXPECT_HR(S_OK, tracker.GetEvents(&count, events.data()));
    EXPECT_EQ(0, count);
}

TEST_F(PipelineTest, NullPointersAreRefusedAndNothingChanges) {
    Tyvarion tracker;
    start(tracker, ET2_DT_PUPIL, ET2_ET_LEFT);
    FakeClient::deliverSample(fake::validSample());
    FakeClient::deliverSample(fake::validSample());

    EyeTracker2GeneralData events[2];
    EXPECT_HR(E_POINTER, tracker.GetEvents(nullptr, events));
    EXPECT_HR(E_POINTER, tracker.GetEventCount(nullptr));
    LONG count = 2;
    EXPECT_HR(E_POINTER, tracker.GetEvents(&count, nullptr));
    EXPECT_EQ(2, count);
    EXPECT_EQ(2, eventCount(tracker));

    // With nothing asked for, no array is needed.
    count = 0;
    EXPECT_HR(S_OK, tracker.GetEvents(&count, nullptr));
    EXPECT_EQ(0, count);
    count = -5;
    EXPECT_HR(S_OK, tracker.GetEvents(&count, nullptr));
    EXPECT_EQ(0, count);
    EXPECT_EQ(2, eventCount(tracker));

    EXPECT_HR(E_POINTER, tracker.StartData(ET2_DT_POSITION, ET2_ET_RIGHT, nullptr));
    EXPECT_HR(E_POINTER, tracker.StopData(ET2_DT_PUPIL, ET2_ET_LEFT, nullptr));
    fetchAll(tracker);
    EXPECT_EQ("pupil-left", selectedKinds(tracker));
    EXPECT_EQ("", lastError(tracker));
}

TEST_F(PipelineTest, StartDataAnswersEveryTypeAndSelectsOnlyNamedEyes) {
    for (LONG type : kTypes) {
        for (LONG eye : kEyes) {
            SCOPED_TRACE("type " + std::to_string(type) + ", eye " + std::to_string(eye));
            FakeClient::reset();
            Tyvarion tracker;
            unique_bstr message;
            EXPECT_HR(S_OK, tracker.StartData(static_cast<EyeTracker2DataType>(type),
                                              static_cast<EyeTracker2EyeType>(eye),
                                              message.put()));
            const char* answer = type == 1   ? "saccade data is not supported"
                                 : type == 2 ? "fixation data is not supported"
                                 : type == 3 ? "AOI data is not supported"
                                 : type == 5 ? "blink data is not supported"
                                 : type == 6 ? "invalid parameter: ET2_DT_TRIGGER"
                                             : "";
            EXPECT_EQ(answer, utf8(message));
            EXPECT_EQ("", lastError(tracker));  // answers are not stored

            std::string selected;
            if ((type == 0 || type == 4) && eye >= 0 && eye <= 2) {
                const char* eyeName = eye == 0 ? "default" : eye == 1 ? "right" : "left";
                selected = std::string(type == 0 ? "pos-" : "pupil-") + eyeName;
            }
            EXPECT_EQ(selected, selectedKinds(tracker));
        }
    }
}

TEST_F(PipelineTest, StartingAKindTwiceChangesNothing) {
    Tyvarion tracker;
    start(tracker, ET2_DT_PUPIL, ET2_ET_RIGHT);
    start(tracker, ET2_DT_PUPIL, ET2_ET_RIGHT);
    EXPECT_EQ("pupil-right", selectedKinds(tracker));
}

TEST_F(PipelineTest, StopDataStopsNamedKindsAndFollowsTheBitTestsForPupils) {
    for (LONG type : kTypes) {
        for (LONG eye : kEyes) {
            SCOPED_TRACE("type " + std::to_string(type) + ", eye " + std::to_string(eye));
            FakeClient::reset();
            Tyvarion tracker;
            startAllKinds(tracker);
            unique_bstr message;
            EXPECT_HR(S_OK, tracker.StopData(static_cast<EyeTracker2DataType>(type),
                                             static_cast<EyeTracker2EyeType>(eye),
                                             message.put()));
            EXPECT_EQ("", utf8(message));

            std::string expected;
            const bool left = (type & 4) != 0 && (eye & 2) != 0;
            const bool right = (type & 4) != 0 && (eye & 1) != 0;
            if (!(type == 0 && eye == 0)) expected += " pos-default";
            if (!(type == 0 && eye == 2)) expected += " pos-left";
            if (!(type == 0 && eye == 1)) expected += " pos-right";
            if (!left) expected += " pupil-left";
            if (!right) expected += " pupil-right";
            if (!(type == 4 && eye == 0)) expected += " pupil-default";
            EXPECT_EQ(expected.substr(1), selectedKinds(tracker));
        }
    }
}

TEST_F(PipelineTest, StopDataNamedCases) {
    Tyvarion tracker;
    startAllKinds(tracker);
    unique_bstr message;
    ASSERT_HR(S_OK, tracker.StopData(ET2_DT_PUPIL, ET2_ET_LEFT, message.put()));
    EXPECT_EQ("pos-default pos-left pos-right pupil-right pupil-default", selectedKinds(tracker));
    ASSERT_HR(S_OK, tracker.StopData(ET2_DT_BLINK, ET2_ET_RIGHT, message.put()));
    EXPECT_EQ("pos-default pos-left pos-right pupil-default", selectedKinds(tracker));
    ASSERT_HR(S_OK, tracker.StopData(ET2_DT_SACCADE, ET2_ET_LEFT, message.put()));
    EXPECT_EQ("pos-default pos-left pos-right pupil-default", selectedKinds(tracker));
    ASSERT_HR(S_OK, tracker.StopData(ET2_DT_POSITION, ET2_ET_DEFAULT, message.put()));
    ASSERT_HR(S_OK, tracker.StopData(ET2_DT_POSITION, ET2_ET_LEFT, message.put()));
    ASSERT_HR(S_OK, tracker.StopData(ET2_DT_POSITION, ET2_ET_RIGHT, message.put()));
    ASSERT_HR(S_OK, tracker.StopData(ET2_DT_PUPIL, ET2_ET_DEFAULT, message.put()));
    EXPECT_EQ("", selectedKinds(tracker));
    // Everything stopped can be started again.
    startAllKinds(tracker);
    EXPECT_EQ(kAllKinds, selectedKinds(tracker));
}

TEST_F(PipelineTest, WhileNotConnectedDataSelectionIsRefusedAndQueuedEventsStay) {
    Tyvarion tracker;
    startAllKinds(tracker);
    FakeClient::deliverSample(fake::validSample(1));
    FakeClient::deliverDeviceEvent(tyapi::DEVICE_EVENT_CONNECTION_LOST);
    ASSERT_EQ(0x40, status(tracker));

    unique_bstr message;
    EXPECT_HR(S_FALSE, tracker.StopData(ET2_DT_PUPIL, ET2_ET_LEFT, message.put()));
    EXPECT_EQ("not connected to Tyvarion server", utf8(message));
    EXPECT_EQ("not connected to Tyvarion server", lastError(tracker));
    EXPECT_HR(S_FALSE, tracker.StartData(ET2_DT_SACCADE, ET2_ET_DEFAULT, message.put()));
    EXPECT_EQ("not connected to Tyvarion server", utf8(message));

    // Events queued before the loss are still handed out, and a sample that
    // still arrives is handled by the flags as they stand.
    EXPECT_EQ(6, eventCount(tracker));
    fetchAll(tracker);
    EXPECT_EQ(kAllKinds, selectedKinds(tracker));
    EXPECT_HR(S_OK, tracker.SetDisplayMode(800, 600));
}

TEST_F(PipelineTest, RefusalWithoutAConnectionFromTheStart) {
    FakeClient::script().connectResult = tyapi::CONNECT_FAILED;
    Tyvarion tracker;
    unique_bstr message;
    EXPECT_HR(S_FALSE, tracker.StartData(ET2_DT_POSITION, ET2_ET_DEFAULT, message.put()));
    EXPECT_EQ("not connected to Tyvarion server", utf8(message));
    EXPECT_EQ("not connected to Tyvarion server", lastError(tracker));
    EXPECT_EQ(32u, lastError(tracker).size());
    EXPECT_EQ(0, eventCount(tracker));
    LONG count = 4;
    EyeTracker2GeneralData events[4];
    EXPECT_HR(S_OK, tracker.GetEvents(&count, events));
    EXPECT_EQ(0, count);
}

TEST_F(PipelineTest, DisplayModeAppliesToLaterSamplesOnly) {
    Tyvarion tracker;  // the fake's screen is 1920 x 1080
    start(tracker, ET2_DT_POSITION, ET2_ET_DEFAULT);
    tyapi::TYGazeSample corner = fake::validSample();
    corner.porX = 0.0;
    corner.porY = 0.0;
    const tyapi::TYGazeSample centre = fake::validSample();

    FakeClient::deliverSample(corner);
    FakeClient::deliverSample(centre);
    EXPECT_HR(S_OK, tracker.SetDisplayMode(800, 600));
    FakeClient::deliverSample(corner);
    FakeClient::deliverSample(centre);
    EXPECT_HR(S_OK, tracker.SetDisplayMode(0, 600));
    FakeClient::deliverSample(corner);
    EXPECT_HR(S_OK, tracker.SetDisplayMode(1024, -768));  // not checked
    FakeClient::deliverSample(corner);

    const auto events = fetchAll(tracker);
    ASSERT_EQ(6u, events.size());
    const double expected[][2] = {{-960, -540}, {0, 0},     {-400, -300},
                                  {0, 0},       {-960, -540}, {-512, 384}};
    for (std::size_t i = 0; i < events.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i][0], events[i].xData);
        EXPECT_EQ(expected[i][1], events[i].yData);
    }
}

TEST_F(PipelineTest, DeviceEventsLowerOnlyTheirFlags) {
    // Status while tracking is 0x07; without tracking 0x10; without the
    // connection 0x40 for good.
    const std::pair<std::int32_t, LONG> cases[] = {
        {0, 0x07}, {1, 0x40}, {2, 0x07}, {3, 0x40}, {4, 0x10}, {5, 0x07}, {-1, 0x07}};
    for (const auto& [code, after] : cases) {
        SCOPED_TRACE("device event " + std::to_string(code));
        FakeClient::reset();
        Tyvarion tracker;
        unique_bstr message;
        ASSERT_HR(S_OK, tracker.SetTracking(VARIANT_TRUE, message.put()));
        start(tracker, ET2_DT_PUPIL, ET2_ET_DEFAULT);
        FakeClient::deliverSample(fake::validSample(1));
        FakeClient::clearCalls();

        FakeClient::deliverDeviceEvent(code);
        EXPECT_EQ(after, status(tracker));
        EXPECT_TRUE(FakeClient::calls().empty());  // no call into the client
        EXPECT_EQ("", lastError(tracker));

        // The queue and the data selection are untouched.
        EXPECT_EQ(1, eventCount(tracker));
        fetchAll(tracker);
        EXPECT_EQ("pupil-default", selectedKinds(tracker));
        const bool stillConnected = after != 0x40;
        EXPECT_HR(stillConnected ? S_OK : S_FALSE,
                  tracker.StartData(ET2_DT_POSITION, ET2_ET_LEFT, message.put()));
    }
}

TEST_F(PipelineTest, QueueSurvivesTrackingAndSelectionChanges) {
    Tyvarion tracker;
    unique_bstr message;
    startAllKinds(tracker);
    FakeClient::deliverSample(fake::validSample(1));
    ASSERT_HR(S_OK, tracker.SetTracking(VARIANT_TRUE, message.put()));
    ASSERT_HR(S_OK, tracker.StopData(ET2_DT_PUPIL, ET2_ET_LEFT, message.put()));
    FakeClient::deliverSample(fake::validSample(2));
    ASSERT_HR(S_OK, tracker.SetTracking(VARIANT_FALSE, message.put()));
    FakeClient::deliverDeviceEvent(tyapi::DEVICE_EVENT_TRACKING_STOPPED);
    FakeClient::deliverSample(fake::validSample(3));  // intake does not look at tracking

    const auto events = fetchAll(tracker);
    ASSERT_EQ(16u, events.size());
    EXPECT_EQ(std::string(kAllKinds) +
                  " pos-default pos-left pos-right pupil-right pupil-default"
                  " pos-default pos-left pos-right pupil-right pupil-default",
              eventNames(events));
    EXPECT_EQ(1u, events[5].time);
    EXPECT_EQ(2u, events[6].time);
    EXPECT_EQ(3u, events[15].time);
}
