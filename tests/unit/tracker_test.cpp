// The tracker object: construction and teardown, status, time, the last error,
// tracking, calibration and the fixed answers of the placeholder methods.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "fake_tyapi.h"
#include "platform/clock.h"
#include "host_replies.h"
#include "test_support.h"
#include "tracker/tyvarion.h"

using fake::FakeClient;
using testing_support::lastError;
using testing_support::status;
using testing_support::utf8;
using tyvarion::Tyvarion;
using tyvarion::unique_bstr;

namespace {

class TrackerTest : public ::testing::Test {
protected:
    void SetUp() override { FakeClient::reset(); }
    void TearDown() override { tyvarion::platform::setFileTimeSource(nullptr); }
};

const std::vector<std::string> kConstructionCalls = {
    "TYApi(NBS Presentation)", "registerGazeSampleListener", "registerDeviceEventListener",
    "connect", "getActiveScreen"};

}  // namespace

TEST_F(TrackerTest, ConstructionConnectsOnceAndTeardownDestroysTheClient) {
    {
        Tyvarion tracker;
        EXPECT_EQ(kConstructionCalls, FakeClient::calls());
        EXPECT_EQ(0x10, status(tracker));
        EXPECT_EQ("", lastError(tracker));
    }
    std::vector<std::string> expected = kConstructionCalls;
    expected.push_back("~TYApi");  // no unrequestTracking at teardown
    EXPECT_EQ(expected, FakeClient::calls());
    EXPECT_FALSE(FakeClient::alive());
}

TEST_F(TrackerTest, FailedConnectionStillCreatesTheObject) {
    FakeClient::script().connectResult = tyapi::CONNECT_FAILED;
    Tyvarion tracker;
    const std::vector<std::string> expected(kConstructionCalls.begin(),
                                            kConstructionCalls.end() - 1);
    EXPECT_EQ(expected, FakeClient::calls());  // no getActiveScreen, no retry
    EXPECT_EQ(0x40, status(tracker));
    EXPECT_EQ("", lastError(tracker));

    unique_bstr message;
    EXPECT_HR(S_OK, tracker.SetTracking(VARIANT_TRUE, message.put()));
    EXPECT_EQ("not connected to the Tyvarion server", utf8(message));
    EXPECT_EQ("", lastError(tracker));  // this refusal is not stored
    EXPECT_EQ(0x40, status(tracker));
}

TEST_F(TrackerTest, ConstructionThatThrowsDestroysTheClientFirst) {
    FakeClient::script().connectThrows = true;
    EXPECT_THROW(Tyvarion tracker, std::bad_alloc);
    EXPECT_FALSE(FakeClient::alive());
    EXPECT_EQ("~TYApi", FakeClient::calls().back());
}

TEST_F(TrackerTest, FinalReleaseDisconnectsBeforeTheDestructor) {
    Tyvarion tracker;
    tracker.finalRelease();
    EXPECT_FALSE(FakeClient::alive());
    EXPECT_EQ(0x40, status(tracker));
    tracker.finalRelease();  // harmless twice; the destructor runs it again
}

TEST_F(TrackerTest, StatusFollowsConnectionAndTracking) {
    Tyvarion tracker;
    unique_bstr message;
    EXPECT_EQ(0x10, status(tracker));
    ASSERT_HR(S_OK, tracker.SetTracking(VARIANT_TRUE, message.put()));
    EXPECT_EQ(0x07, status(tracker));
    ASSERT_HR(S_OK, tracker.SetTracking(VARIANT_FALSE, message.put()));
    EXPECT_EQ(0x10, status(tracker));

    EXPECT_EQ(0x40, tyvarion::statusCode(false, true, true));
    EXPECT_EQ(0x07, tyvarion::statusCode(true, true, false));
    EXPECT_EQ(0x0F, tyvarion::statusCode(true, true, true));
    EXPECT_EQ(0x10, tyvarion::statusCode(true, false, false));
    EXPECT_EQ(0x18, tyvarion::statusCode(true, false, true));
}

TEST_F(TrackerTest, SmallMethodsWriteTheirFixedValues) {
    Tyvarion tracker;
    LONG caps = 0;
    EXPECT_HR(S_OK, tracker.GetCaps(&caps));
    EXPECT_EQ(0x43, caps);

    VARIANT_BOOL multiThreaded = VARIANT_FALSE;
    EXPECT_HR(S_OK, tracker.IsMultithreaded(&multiThreaded));
    EXPECT_EQ(1, multiThreaded);  // 1, not VARIANT_TRUE (-1)

    EXPECT_HR(S_OK, tracker.Execute());
}

TEST_F(TrackerTest, GetTimeTruncatesTheInjectedFileTime) {
    Tyvarion tracker;
    ULONGLONG time = 0;
    tyvarion::platform::setFileTimeSource([]() -> std::uint64_t { return 116444736000000010ull; });
    EXPECT_HR(S_OK, tracker.GetTime(&time));
    EXPECT_EQ(1u, time);
    tyvarion::platform::setFileTimeSource([]() -> std::uint64_t { return 116444736000000019ull; });
    EXPECT_HR(S_OK, tracker.GetTime(&time));
    EXPECT_EQ(1u, time);
}

TEST_F(TrackerTest, NullOutputsAreRefusedAndNothingChanges) {
    Tyvarion tracker;
    EXPECT_HR(E_POINTER, tracker.GetCaps(nullptr));
    EXPECT_HR(E_POINTER, tracker.IsMultithreaded(nullptr));
    EXPECT_HR(E_POINTER, tracker.GetTime(nullptr));
    EXPECT_HR(E_POINTER, tracker.GetStatus(nullptr));
    EXPECT_HR(E_POINTER, tracker.GetLastError(nullptr));
    EXPECT_HR(E_POINTER, tracker.SetTracking(VARIANT_TRUE, nullptr));
    EXPECT_HR(E_POINTER, tracker.Calibrate(tyvarion::ET2_CT_CALIBRATE, nullptr, 0, 0, 0, nullptr));
    EXPECT_HR(E_POINTER, tracker.StartCalibration(0, nullptr, tyvarion::ET2_ET_DEFAULT, nullptr,
                                                  nullptr));
    EXPECT_HR(E_POINTER, tracker.GetCalibrationPoint(nullptr, nullptr, nullptr, nullptr));
    EXPECT_HR(E_POINTER, tracker.AcceptPoint(nullptr));
    EXPECT_HR(E_POINTER, tracker.StopCalibration(nullptr));
    EXPECT_HR(E_POINTER, tracker.SendMessage(nullptr, nullptr));
    EXPECT_HR(E_POINTER, tracker.SetParameter(nullptr, nullptr, nullptr));
    EXPECT_HR(E_POINTER, tracker.GetParameter(nullptr, nullptr));
    EXPECT_HR(E_POINTER, tracker.SetAOISet(0, nullptr));
    // The refused calls reached neither the client nor the tracking state.
    EXPECT_EQ(kConstructionCalls, FakeClient::calls());
    EXPECT_EQ(0x10, status(tracker));
    EXPECT_EQ("", lastError(tracker));
}

TEST_F(TrackerTest, SetTrackingMapsEveryAnswerOfTheServer) {
    struct Case {
        int answer;
        HRESULT result;
        const char* message;
    };
    const Case cases[] = {
        {0, S_OK, ""},
        {1, S_FALSE, "not connected to Tyvarion server"},
        {2, S_FALSE, "no eye tracking device connected"},
        {3, S_FALSE, "invalid framerate mode"},
        {4, S_FALSE, "eye tracker is already running in different frame rate mode"},
        {5, S_FALSE, "unspecified error"},
        {6, S_FALSE, "unspecified error"},
        {7, S_FALSE, "unspecified error"},
        {-1, S_FALSE, "unspecified error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("requestTracking answers " + std::to_string(c.answer));
        FakeClient::reset();
        FakeClient::script().startResult = c.answer;
        Tyvarion tracker;
        FakeClient::clearCalls();
        unique_bstr message;
        EXPECT_HR(c.result, tracker.SetTracking(VARIANT_TRUE, message.put()));
        EXPECT_EQ(c.message, utf8(message));
        EXPECT_EQ(std::vector<std::string>{"requestTracking(0)"}, FakeClient::calls());
        EXPECT_EQ(c.message, lastError(tracker));  // refusals are stored, success stores nothing
        EXPECT_EQ(c.answer == 0 ? 0x07 : 0x10, status(tracker));
    }
}

TEST_F(TrackerTest, RefusedSecondStartKeepsTrackingOn) {
    Tyvarion tracker;
    unique_bstr message;
    ASSERT_HR(S_OK, tracker.SetTracking(VARIANT_TRUE, message.put()));
    FakeClient::script().startResult = tyapi::START_DIFFERENT_FRAMERATE_MODE;
    EXPECT_HR(S_FALSE, tracker.SetTracking(VARIANT_TRUE, message.put()));
    EXPECT_EQ("eye tracker is already running in different frame rate mode", utf8(message));
    EXPECT_EQ(0x07, status(tracker));
}

TEST_F(TrackerTest, AnyNonZeroVariantBoolIsTrue) {
    for (VARIANT_BOOL on : {VARIANT_BOOL{-1}, VARIANT_BOOL{1}, VARIANT_BOOL{0x100}}) {
        SCOPED_TRACE(on);
        FakeClient::reset();
        Tyvarion tracker;
        FakeClient::clearCalls();
        unique_bstr message;
        EXPECT_HR(S_OK, tracker.SetTracking(on, message.put()));
        EXPECT_EQ(std::vector<std::string>{"requestTracking(0)"}, FakeClient::calls());
    }
}

TEST_F(TrackerTest, StoppingTrackingAlwaysAsksTheServer) {
    Tyvarion tracker;
    FakeClient::clearCalls();
    unique_bstr message(SysAllocString(OLESTR("left over")));
    EXPECT_HR(S_OK, tracker.SetTracking(VARIANT_FALSE, message.put()));
    EXPECT_EQ("", utf8(message));
    EXPECT_EQ(std::vector<std::string>{"unrequestTracking"}, FakeClient::calls());
}

TEST_F(TrackerTest, CalibrateMapsEveryAnswerWithoutTouchingTheLastError) {
    const std::pair<int, const char*> cases[] = {
        {0, ""},
        {1, "failed to calibrate: not connected"},
        {2, "failed to calibrate: not tracking"},
        {3, "failed to calibrate: invalid calibration mode"},
        {4, "failed to calibrate: already calibrating"},
        {5, "failed to calibrate"},
        {9, "failed to calibrate"},
    };
    for (const auto& [answer, text] : cases) {
        for (auto type : {tyvarion::ET2_CT_CALIBRATE, tyvarion::ET2_CT_DRIFT_CORRECT}) {
            SCOPED_TRACE("calibrate answers " + std::to_string(answer) + ", type " +
                         std::to_string(type));
            FakeClient::reset();
            FakeClient::script().calibrateResult = answer;
            Tyvarion tracker;
            FakeClient::clearCalls();
            unique_bstr message;
            EXPECT_HR(S_OK, tracker.Calibrate(type, nullptr, 1.5, -2.0, 3.0, message.put()));
            EXPECT_EQ(text, utf8(message));
            EXPECT_EQ(std::vector<std::string>{"calibrate(0)"}, FakeClient::calls());
            EXPECT_EQ("", lastError(tracker));
        }
    }
}

TEST_F(TrackerTest, NotConnectedRefusalsAreStoredWhereTheyShouldBe) {
    FakeClient::script().connectResult = tyapi::CONNECT_FAILED;
    Tyvarion tracker;
    const std::string notConnected = "not connected to Tyvarion server";
    unique_bstr message;

    EXPECT_HR(S_FALSE, tracker.Calibrate(tyvarion::ET2_CT_CALIBRATE, nullptr, 0, 0, 0,
                                         message.put()));
    EXPECT_EQ(notConnected, utf8(message));
    EXPECT_EQ(notConnected, lastError(tracker));
    EXPECT_EQ(notConnected, lastError(tracker));  // reading does not clear it

    EXPECT_HR(S_FALSE, tracker.StartCalibration(3, nullptr, tyvarion::ET2_ET_LEFT, nullptr,
                                                message.put()));
    EXPECT_EQ(notConnected, utf8(message));
    LONG point = 11, x = 22, y = 33;
    EXPECT_HR(S_FALSE, tracker.GetCalibrationPoint(&point, &x, &y, message.put()));
    EXPECT_EQ(notConnected, utf8(message));
    EXPECT_HR(S_FALSE, tracker.AcceptPoint(message.put()));
    EXPECT_EQ(notConnected, utf8(message));
    EXPECT_HR(S_FALSE, tracker.StopCalibration(message.put()));
    EXPECT_EQ(notConnected, utf8(message));
    EXPECT_EQ(11, point);
    EXPECT_EQ(22, x);
    EXPECT_EQ(33, y);

    // SendCommand overwrites the last error whether connected or not.
    LONG commandResult = 77;
    EXPECT_HR(E_NOTIMPL, tracker.SendCommand(nullptr, &commandResult));
    EXPECT_EQ(77, commandResult);
    EXPECT_EQ("IEyeTracker2::SendCommand not implemented", lastError(tracker));
    EXPECT_EQ(41u, lastError(tracker).size());
    EXPECT_EQ(std::vector<std::string>(kConstructionCalls.begin(), kConstructionCalls.end() - 1),
              FakeClient::calls());  // nothing reached the client
}

TEST_F(TrackerTest, PlaceholdersGiveTheirFixedAnswersWhileConnected) {
    Tyvarion tracker;
    OLECHAR name[] = OLESTR("anything");
    unique_bstr message;

    EXPECT_HR(S_OK, tracker.StartCalibration(2, nullptr, tyvarion::ET2_ET_DEFAULT, name,
                                             message.put()));
    EXPECT_EQ("IEyeTracker2::StartCalibration is not implemented", utf8(message));
    LONG point = 11, x = 22, y = 33;
    EXPECT_HR(S_OK, tracker.GetCalibrationPoint(&point, &x, &y, message.put()));
    EXPECT_EQ("IEyeTracker2::GetCalibrationPoint is not implemented", utf8(message));
    EXPECT_EQ(11, point);
    EXPECT_EQ(22, x);
    EXPECT_EQ(33, y);
    EXPECT_HR(S_OK, tracker.AcceptPoint(message.put()));
    EXPECT_EQ("IEyeTracker2::AcceptPoint is not implemented", utf8(message));
    EXPECT_HR(S_OK, tracker.StopCalibration(message.put()));
    EXPECT_EQ("IEyeTracker2::StopCalibration is not implemented", utf8(message));
    EXPECT_HR(S_OK, tracker.SendMessage(name, message.put()));
    EXPECT_EQ("IEyeTracker2::SendMessage is not implemented", utf8(message));
    EXPECT_HR(S_OK, tracker.SetParameter(name, name, message.put()));
    EXPECT_EQ("IEyeTracker2::SetParameter is not implemented", utf8(message));
    EXPECT_HR(S_OK, tracker.GetParameter(name, message.put()));
    EXPECT_EQ("", utf8(message));
    EXPECT_HR(E_NOTIMPL, tracker.SetAOISet(5, message.put()));
    EXPECT_EQ("IEyeTracker2::SetAOISet not implemented", utf8(message));

    EXPECT_EQ("", lastError(tracker));  // none of these is stored
    EXPECT_EQ(kConstructionCalls, FakeClient::calls());
}

TEST_F(TrackerTest, TeardownJoinsTheWriterPromptly) {
    // Many objects created and released at once: a writer that missed its stop
    // request would hang the join, and this test with it.
    for (int i = 0; i < 200; ++i) {
        FakeClient::reset();
        Tyvarion tracker;
    }
    SUCCEED();
}

// A device event the library delivers from inside a call wins over what the
// call's return would otherwise write.
TEST_F(TrackerTest, ConnectionLostDuringConnectOrScreenLeavesTheObjectNotConnected) {
    for (const std::int32_t code : {1, 3}) {
        FakeClient::reset();
        FakeClient::script().eventInConnect = code;
        Tyvarion duringConnect;
        // No screen is asked of a connection already lost.
        EXPECT_EQ((std::vector<std::string>{"TYApi(NBS Presentation)", "registerGazeSampleListener",
                                            "registerDeviceEventListener", "connect",
                                            "device event " + std::to_string(code)}),
                  FakeClient::calls());
        EXPECT_EQ(0x40, status(duringConnect));
        unique_bstr message;
        EXPECT_HR(S_OK, duringConnect.SetTracking(VARIANT_TRUE, message.put()));
        EXPECT_EQ("not connected to the Tyvarion server", utf8(message));
    }
    for (const std::int32_t code : {1, 3}) {
        FakeClient::reset();
        FakeClient::script().eventInGetActiveScreen = code;
        Tyvarion duringScreen;
        EXPECT_EQ("device event " + std::to_string(code), FakeClient::calls().back());
        EXPECT_EQ(0x40, status(duringScreen));
    }
    // Other codes change nothing, and an end of tracking leaves the connection.
    for (const std::int32_t code : {0, 2, 4, 5}) {
        FakeClient::reset();
        FakeClient::script().eventInConnect = code;
        FakeClient::script().eventInGetActiveScreen = code;
        Tyvarion tracker;
        EXPECT_EQ(0x10, status(tracker));
    }
}

TEST_F(TrackerTest, EndOfTrackingDuringRequestTrackingLeavesTrackingOff) {
    FakeClient::script().eventInRequestTracking = 4;
    Tyvarion tracker;
    unique_bstr message;
    ASSERT_HR(S_OK, tracker.SetTracking(VARIANT_TRUE, message.put()));
    EXPECT_EQ("", utf8(message));  // the server did start it
    EXPECT_EQ(0x10, status(tracker));
    EXPECT_EQ("device event 4", FakeClient::calls().back());

    // The next start that no event interrupts counts.
    FakeClient::script().eventInRequestTracking = 0;
    ASSERT_HR(S_OK, tracker.SetTracking(VARIANT_TRUE, message.put()));
    EXPECT_EQ(0x07, status(tracker));

    // Interrupted again while running: off, and the refusal path is unchanged.
    FakeClient::script().eventInRequestTracking = 4;
    ASSERT_HR(S_OK, tracker.SetTracking(VARIANT_TRUE, message.put()));
    EXPECT_EQ(0x10, status(tracker));

    FakeClient::script().eventInRequestTracking = 3;
    ASSERT_HR(S_OK, tracker.SetTracking(VARIANT_TRUE, message.put()));
    EXPECT_EQ(0x40, status(tracker));
    ASSERT_HR(S_OK, tracker.SetTracking(VARIANT_TRUE, message.put()));
    EXPECT_EQ("not connected to the Tyvarion server", utf8(message));
}
