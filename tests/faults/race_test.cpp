// A connection lost at the worst moment of a start: while SetRecording opens
// the file. The start answers as it would a moment earlier, with success, but
// recording must not come back on behind the device event: GetStatus says
// 0x40, so nothing more may reach the file, and no stop would be accepted.
#include <gtest/gtest.h>

#include "fake_tyapi.h"
#include "platform/clock.h"
#include "recording_support.h"
#include "test_support.h"
#include "tracker/tyvarion.h"

namespace {

using fake::FakeClient;
using testing_support::utf8;
namespace rs = recording_support;

// The clock SetRecording reads for the file name, with the connection lost
// on the library's side while the start is under way.
std::uint64_t clockThatLosesTheConnection() {
    FakeClient::deliverDeviceEvent(tyapi::DEVICE_EVENT_CONNECTION_LOST);
    return tyvarion::platform::systemFileTime();
}

TEST(FaultsAtTheWorstMoment, AConnectionLostDuringAStartKeepsRecordingOff) {
    rs::ScratchFolder documents;
    rs::ScopedDocumentsFolder documentsSetting(documents.path());
    FakeClient::reset();
    {
        tyvarion::Tyvarion tracker;
        tyvarion::unique_bstr message;
        tyvarion::platform::setFileTimeSource(&clockThatLosesTheConnection);
        EXPECT_HR(S_OK, tracker.SetRecording(VARIANT_TRUE, message.put()));
        tyvarion::platform::setFileTimeSource(nullptr);
        EXPECT_EQ("", utf8(message));

        LONG status = 0;
        EXPECT_HR(S_OK, tracker.GetStatus(&status));
        EXPECT_EQ(0x40, status);
        EXPECT_HR(S_OK, tracker.SendTrigger(5));
        FakeClient::deliverSample(fake::validSample(1000, 1));
        EXPECT_HR(S_FALSE, tracker.SetRecording(VARIANT_FALSE, message.put()));
        EXPECT_EQ("not connected to Tyvarion server", utf8(message));
    }
    // The file stayed open until teardown and holds its header alone.
    const auto folder = documents.path() / "Tyvarion" / "NBS Presentation";
    const std::vector<std::string> names = rs::listFolder(folder);
    ASSERT_EQ(1u, names.size());
    EXPECT_EQ(rs::onDisk(rs::kHeader), rs::readFile(folder / names[0]));
}

}  // namespace
