#pragma once
// The recording tests' fixture: a scratch Documents folder, the clock at
// 2024-03-05 14:07:09 and the client fake reset, with the names of the first
// two files and the samples the fake delivers.

#include <chrono>
#include <string>

#include "fake_tyapi.h"
#include "recording_support.h"
#include "test_support.h"

namespace recording_support {

inline constexpr const char* kFirstName = "tyvarion_NBS_2024-03-05-14-07-09.csv";
inline constexpr const char* kSecondName = "tyvarion_NBS_2024-03-05-14-07-10.csv";
// Longer than any test: a lingering writer comes back only when the test says so.
inline constexpr auto kLongDeadline = std::chrono::hours(24);

class RecordingWithFakeClientTest : public RecordingFolderTest {
protected:
    void SetUp() override {
        RecordingFolderTest::SetUp();
        fake::FakeClient::reset();
    }

    // The sample `deliver(index)` sends, as its line in the file.
    static std::string sampleLine(int index) { return testing_support::validSampleLine(index) + "\n"; }
    static void deliver(int index) { fake::FakeClient::deliverSample(fake::validSample(1000 + index, index)); }
};

}  // namespace recording_support
