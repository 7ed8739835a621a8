// SetRecording: where the file goes, its name and header, the answers of each
// outcome, and what reaches the file. The Documents folder is a scratch folder
// (an environment variable on POSIX, the registry value on Windows).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host_replies.h"
#include "recording_fake_client.h"
#include "tracker/tyvarion.h"

using fake::FakeClient;
using testing_support::lastError;
using testing_support::setRecording;
using testing_support::status;
using testing_support::utf8;
using tyvarion::RecordingProbe;
using tyvarion::Tyvarion;
using tyvarion::unique_bstr;
namespace fs = std::filesystem;
namespace rs = recording_support;

namespace {

using rs::kFirstName;
constexpr const char* kNotConnected = "not connected to Tyvarion server";
constexpr const char* kCouldNotCreate = "could not create directory in documents folder";

class RecordingFileTest : public rs::RecordingWithFakeClientTest {
protected:
    void SetUp() override {
        RecordingWithFakeClientTest::SetUp();
        rs::FixedClock::setLocal(2024, 3, 5, 14, 7, 9, 999999);
    }
};

}  // namespace

TEST_F(RecordingFileTest, NotConnectedRefusesStartAndStop) {
    FakeClient::script().connectResult = tyapi::CONNECT_FAILED;
    Tyvarion tracker;
    EXPECT_EQ("0x00000001 not connected to Tyvarion server", setRecording(tracker, VARIANT_TRUE));
    EXPECT_EQ(kNotConnected, lastError(tracker));
    EXPECT_EQ("0x00000001 not connected to Tyvarion server", setRecording(tracker, VARIANT_FALSE));
    EXPECT_EQ(0x40, status(tracker));
    EXPECT_EQ(std::vector<std::string>{}, rs::listFolder(documents()));

    EXPECT_HR(E_POINTER, tracker.SetRecording(VARIANT_TRUE, nullptr));
}

TEST_F(RecordingFileTest, StartWritesHeaderAndStopClosesTheFile) {
    Tyvarion tracker;
    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_FALSE));  // no file open
    EXPECT_EQ(0x10, status(tracker));
    EXPECT_HR(E_POINTER, tracker.SetRecording(VARIANT_TRUE, nullptr));
    EXPECT_EQ(std::vector<std::string>{}, rs::listFolder(documents()));

    EXPECT_EQ("0x00000000 ", setRecording(tracker, 1));  // any non-zero value starts
    EXPECT_EQ(0x18, status(tracker));
    EXPECT_EQ(std::vector<std::string>{kFirstName}, rs::listFolder(recordings()));
    EXPECT_EQ("", lastError(tracker));

    fake::FakeClient::deliverSample(fake::validSample(1500, 42));
    EXPECT_HR(S_OK, tracker.SendTrigger(17));
    EXPECT_HR(S_OK, tracker.SendTrigger(-3));
    const OLECHAR message[] = {u'h', u'\u00e9', u';', 0xD83D, 0xDE00, 0xDC00, 0};
    EXPECT_HR(S_OK, tracker.SendString(const_cast<LPWSTR>(message)));
    EXPECT_HR(S_OK, tracker.SendString(nullptr));
    fake::FakeClient::deliverSample(fake::validSample(1501, 43));

    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_FALSE));
    EXPECT_EQ(0x10, status(tracker));
    EXPECT_EQ(rs::onDisk(std::string(rs::kHeader) +
                         "1500;42;960;540;958;540;4;962;540;6;\n"
                         "trigger: 17\n"
                         "trigger: -3\n"
                         "message: h\xC3\xA9;\xF0\x9F\x98\x80\xEF\xBF\xBD\n"
                         "message: \n"
                         "1501;43;960;540;958;540;4;962;540;6;\n"),
              rs::readFile(recordings() / kFirstName));

    // Recording is off: nothing more is queued or written.
    EXPECT_HR(S_OK, tracker.SendTrigger(99));
    EXPECT_HR(S_OK, tracker.SendString(nullptr));
    EXPECT_EQ(std::vector<std::string>{}, RecordingProbe::queued(tracker));
    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_FALSE));
    EXPECT_EQ(std::vector<std::string>{kFirstName}, rs::listFolder(recordings()));
}

TEST_F(RecordingFileTest, LineEndsAreThePlatformsTextLineEnds) {
    {
        Tyvarion tracker;
        EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
        // Line breaks inside a message become spaces: it stays one line.
        EXPECT_HR(S_OK, tracker.SendString(const_cast<LPWSTR>(OLESTR("x\ntrigger: 5\r\n"))));
    }
    const std::string bytes = rs::readFile(recordings() / kFirstName);
#ifdef _WIN32
    EXPECT_EQ(0u, bytes.find("Sep=;\r\ntimestamp [us];\t"));
    EXPECT_NE(std::string::npos, bytes.find("[mm]\r\nmessage: x trigger: 5  \r\n"));
    EXPECT_EQ(std::string::npos, bytes.find("\n\n"));
    EXPECT_EQ(3u, static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\r')));
#else
    EXPECT_EQ(0u, bytes.find("Sep=;\ntimestamp [us];\t"));
    EXPECT_NE(std::string::npos, bytes.find("[mm]\nmessage: x trigger: 5  \n"));
    EXPECT_EQ(std::string::npos, bytes.find('\r'));
#endif
    EXPECT_EQ(3u, static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')));
}

TEST_F(RecordingFileTest, StartsInDifferentSecondsMakeTwoCompleteFiles) {
    Tyvarion tracker;
    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
    EXPECT_HR(S_OK, tracker.SendTrigger(1));
    rs::FixedClock::setLocal(2024, 3, 5, 14, 7, 10);
    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
    EXPECT_EQ(0x18, status(tracker));
    EXPECT_HR(S_OK, tracker.SendTrigger(2));
    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_FALSE));

    const std::string second = "tyvarion_NBS_2024-03-05-14-07-10.csv";
    EXPECT_EQ((std::vector<std::string>{kFirstName, second}), rs::listFolder(recordings()));
    EXPECT_EQ(rs::onDisk(std::string(rs::kHeader) + "trigger: 1\n"),
              rs::readFile(recordings() / kFirstName));
    EXPECT_EQ(rs::onDisk(std::string(rs::kHeader) + "trigger: 2\n"),
              rs::readFile(recordings() / second));
}

TEST_F(RecordingFileTest, StartsInTheSameSecondNeverTouchTheEarlierFile) {
    Tyvarion tracker;
    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
    EXPECT_HR(S_OK, tracker.SendTrigger(1));
    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
    EXPECT_HR(S_OK, tracker.SendTrigger(2));
    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
    EXPECT_HR(S_OK, tracker.SendTrigger(3));
    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_FALSE));

    const std::string second = "tyvarion_NBS_2024-03-05-14-07-09-2.csv";
    const std::string third = "tyvarion_NBS_2024-03-05-14-07-09-3.csv";
    EXPECT_EQ((std::vector<std::string>{second, third, kFirstName}),  // sorted: '-' before '.'
              rs::listFolder(recordings()));
    EXPECT_EQ(rs::onDisk(std::string(rs::kHeader) + "trigger: 1\n"),
              rs::readFile(recordings() / kFirstName));
    EXPECT_EQ(rs::onDisk(std::string(rs::kHeader) + "trigger: 2\n"),
              rs::readFile(recordings() / second));
    EXPECT_EQ(rs::onDisk(std::string(rs::kHeader) + "trigger: 3\n"),
              rs::readFile(recordings() / third));
}

TEST_F(RecordingFileTest, AFileLeftByAnotherProgramIsKept) {
    fs::create_directories(recordings());
    rs::writeFile(recordings() / kFirstName, "not ours");
    fs::create_directory(recordings() / "tyvarion_NBS_2024-03-05-14-07-09-2.csv");
    {
        Tyvarion tracker;
        EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
    }
    EXPECT_EQ("not ours", rs::readFile(recordings() / kFirstName));
    EXPECT_EQ(rs::onDisk(rs::kHeader),
              rs::readFile(recordings() / "tyvarion_NBS_2024-03-05-14-07-09-3.csv"));
}

TEST_F(RecordingFileTest, ASubFolderThatCannotBeMadeIsReported) {
    Tyvarion tracker;

    // A plain file named "Tyvarion" in the Documents folder.
    rs::writeFile(documents() / "Tyvarion", "in the way");
    EXPECT_EQ("0x00000000 could not create directory in documents folder",
              setRecording(tracker, VARIANT_TRUE));
    EXPECT_EQ(0x10, status(tracker));
    EXPECT_EQ("", lastError(tracker));
    EXPECT_HR(S_OK, tracker.SendTrigger(1));
    EXPECT_EQ(std::vector<std::string>{}, RecordingProbe::queued(tracker));
    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_FALSE));

    // The same at the second level.
    fs::remove(documents() / "Tyvarion");
    fs::create_directory(documents() / "Tyvarion");
    rs::writeFile(recordings(), "in the way");
    EXPECT_EQ("0x00000000 could not create directory in documents folder",
              setRecording(tracker, VARIANT_TRUE));
    EXPECT_EQ(0x10, status(tracker));

    // A Documents folder that does not exist.
    rs::ScopedDocumentsFolder missing(scratch.path() / "no such folder");
    EXPECT_EQ("0x00000000 could not create directory in documents folder",
              setRecording(tracker, VARIANT_TRUE));
    EXPECT_FALSE(fs::exists(scratch.path() / "no such folder"));
    EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_FALSE));
}

TEST_F(RecordingFileTest, WithoutADocumentsFolderTheFileGoesToTheCurrentFolder) {
    const fs::path here = scratch.path() / "here";
    fs::create_directory(here);
    rs::ScopedCurrentFolder current(here);
    rs::ScopedDocumentsFolder none(std::nullopt);
    {
        Tyvarion tracker;
        EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
        EXPECT_EQ(0x18, status(tracker));
        EXPECT_HR(S_OK, tracker.SendTrigger(5));
    }
    EXPECT_EQ(std::vector<std::string>{kFirstName}, rs::listFolder(here));  // no sub-folders
    EXPECT_EQ(rs::onDisk(std::string(rs::kHeader) + "trigger: 5\n"),
              rs::readFile(here / kFirstName));
}

#ifdef _WIN32

TEST_F(RecordingFileTest, RegistryValuesOtherThanAFolderPath) {
    const fs::path here = scratch.path() / "here";
    fs::create_directory(here);
    rs::ScopedCurrentFolder current(here);
    Tyvarion tracker;

    // An empty value: the sub-folders are made in the current folder.
    {
        rs::ScopedDocumentsFolder empty(fs::path{});
        EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
        EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_FALSE));
        EXPECT_EQ(std::vector<std::string>{kFirstName},
                  rs::listFolder(here / "Tyvarion" / "NBS Presentation"));
    }

    // A value that is not a string counts as missing: the current folder.
    {
        rs::ScopedDocumentsFolder number(documents());
        rs::ScopedDocumentsFolder::setNumber(7);
        EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
        EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_FALSE));
        EXPECT_EQ((std::vector<std::string>{"Tyvarion", kFirstName}), rs::listFolder(here));
        EXPECT_EQ(std::vector<std::string>{}, rs::listFolder(documents()));
    }

    // The registry expands a string with environment references for a reader
    // that asks for plain strings.
    {
        ASSERT_TRUE(SetEnvironmentVariableW(L"TYVARION_TEST_DOCUMENTS",
                                            documents().wstring().c_str()));
        rs::ScopedDocumentsFolder expandable(documents());
        rs::ScopedDocumentsFolder::setExpandableString(L"%TYVARION_TEST_DOCUMENTS%");
        EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
        EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_FALSE));
        EXPECT_EQ(std::vector<std::string>{kFirstName}, rs::listFolder(recordings()));
        SetEnvironmentVariableW(L"TYVARION_TEST_DOCUMENTS", nullptr);
    }
}

TEST_F(RecordingFileTest, ADocumentsFolderOutsideTheAnsiCodePage) {
    const fs::path wide = scratch.path() / L"\u6587\u6863 \u0394\u03b5\u03b4\u03bf\u03bc\u03ad\u03bd\u03b1";
    fs::create_directory(wide);
    rs::ScopedDocumentsFolder documentsThere(wide);
    {
        Tyvarion tracker;
        EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
        EXPECT_HR(S_OK, tracker.SendTrigger(8));
    }
    EXPECT_EQ(rs::onDisk(std::string(rs::kHeader) + "trigger: 8\n"),
              rs::readFile(wide / "Tyvarion" / "NBS Presentation" / kFirstName));
}

#else

TEST_F(RecordingFileTest, TheHomeFolderStandsInForAMissingDocumentsSetting) {
    rs::ScopedDocumentsFolder none(std::nullopt);
    setenv("HOME", scratch.path().c_str(), 1);  // restored with `none`
    {
        Tyvarion tracker;
        EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
        EXPECT_HR(S_OK, tracker.SendTrigger(6));
    }
    EXPECT_EQ(rs::onDisk(std::string(rs::kHeader) + "trigger: 6\n"),
              rs::readFile(recordings() / kFirstName));
}

TEST_F(RecordingFileTest, TheNameCarriesLocalTime) {
    const auto savedZone = rs::environmentVariable("TZ");
    setenv("TZ", "XYZ-3", 1);  // three hours east of UTC, no daylight saving
    tzset();
    rs::FixedClock::setUnix(1709647629);  // 2024-03-05 14:07:09 UTC
    {
        Tyvarion tracker;
        EXPECT_EQ("0x00000000 ", setRecording(tracker, VARIANT_TRUE));
    }
    rs::restoreVariable("TZ", savedZone);
    tzset();
    EXPECT_EQ(std::vector<std::string>{"tyvarion_NBS_2024-03-05-17-07-09.csv"},
              rs::listFolder(recordings()));
}

#endif
