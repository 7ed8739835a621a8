#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "recording-reader/recording_reader.h"
#include "server/replay.h"
#include "server/sample_source.h"

namespace tyvarion::sim {
namespace {

constexpr double kInvalid = std::numeric_limits<double>::lowest();

class TempFile {
public:
    explicit TempFile(const std::string& content) {
        path_ = ::testing::TempDir() + "replay_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".csv";
        std::ofstream(path_, std::ios::binary) << content;
    }
    ~TempFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

constexpr const char* kHeader =
    "Sep=;\r\n"
    "timestamp [us];\tindex;\tPOR X [px];\tPOR Y [px];\tPOR Left X [px];\tPOR Left Y [px];"
    "\tPupil Diam Left [mm];\tPOR Right X [px];\tPOR Right Y [px];\tPupil Diam Right [mm]\r\n";

TEST(Replay, SendsTheRecordedValues) {
    const auto recorded = tools::parseSampleLine("1500;42;959.5;540.25;957;-1.79769e+308;6.4;INVALID;INVALID;6.5;");
    ASSERT_TRUE(recorded);
    const tyapi::TYGazeSample sample = replayedSample(*recorded);
    EXPECT_EQ(sample.timestampMicroSec, 1500);
    EXPECT_EQ(sample.index, 42);
    EXPECT_EQ(sample.porX, 959.5);
    EXPECT_EQ(sample.porY, 540.25);
    // A point without its Y (the tracker's marker) is no point.
    EXPECT_EQ(sample.porLeftX, kInvalid);
    EXPECT_EQ(sample.porLeftY, kInvalid);
    EXPECT_EQ(sample.pupilRadiusLeft, 3.2);  // the file holds diameters
    EXPECT_EQ(sample.porRightX, kInvalid);
    EXPECT_EQ(sample.porRightY, kInvalid);
    EXPECT_EQ(sample.pupilRadiusRight, 3.25);
    EXPECT_EQ(tyapi::TYInvalidValue, kInvalid);

    const auto blink = tools::parseSampleLine("-3;-7;INVALID;INVALID;0;0;INVALID;1.2e-05;1.23457e+06;INVALID;\r");
    ASSERT_TRUE(blink);
    const tyapi::TYGazeSample windows = replayedSample(*blink);
    EXPECT_EQ(windows.timestampMicroSec, -3);
    EXPECT_EQ(windows.index, -7);
    EXPECT_EQ(windows.porX, kInvalid);
    EXPECT_EQ(windows.porLeftX, 0);
    EXPECT_EQ(windows.porRightX, 1.2e-05);
    EXPECT_EQ(windows.porRightY, 1.23457e+06);
    EXPECT_EQ(windows.pupilRadiusLeft, kInvalid);
    EXPECT_EQ(windows.pupilRadiusRight, kInvalid);
}

TEST(Replay, SourceSkipsTextAndKeepsRecordedTimes) {
    const TempFile file(std::string(kHeader) +
                        "1000000;7;1;2;3;4;5;6;7;8;\r\n"
                        "trigger: 3\r\n"
                        "1002000;8;1;2;3;4;5;6;7;8;\r\n"
                        "message: 1;2;3;4;5;6;7;8;9;10;\r\n"
                        "1001000;9;1;2;3;4;5;6;7;8;\r\n"  // a step back in time
                        "not a sample\r\n" +
                        std::string(10000, '1') + ";\r\n"
                        "1005000;10;INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;\r\n"
                        "1006000;11;1;2;3;4;5;6;7;8;");  // cut off: the reader leaves it out
    std::vector<std::string> warnings;
    EXPECT_EQ(checkReplayFile(file.path(), warnings), std::nullopt);
    EXPECT_EQ(warnings, (std::vector<std::string>{
                            "the file ends in the middle of a line: its last 27 bytes were left out",
                            "2 lines could not be read and were left out, the first is line 8"}));
    std::string error;
    auto source = makeReplaySource(file.path(), error);
    ASSERT_TRUE(source) << error;
    EXPECT_FALSE(source->stampsLiveTime());
    const std::int32_t indices[] = {7, 8, 9, 10};
    const std::int64_t due[] = {0, 2000, 2000, 5000};
    for (int i = 0; i < 4; ++i) {
        const auto timed = source->next();
        ASSERT_TRUE(timed) << i;
        EXPECT_EQ(timed->sample.index, indices[i]);
        EXPECT_EQ(timed->dueMicros, due[i]);
    }
    EXPECT_FALSE(source->next());
}

TEST(Replay, TakesOnlyRecordings) {
    // The same refusals as the tools'.
    std::vector<std::string> warnings;
    const std::string missing = ::testing::TempDir() + "no such file.csv";
    EXPECT_EQ(checkReplayFile(missing, warnings), "cannot open " + missing);
    std::string error;
    EXPECT_FALSE(makeReplaySource(missing, error));
    EXPECT_EQ(error, "cannot open " + missing);

    const TempFile text("# Tyvarion NBS\n\n1;2;3;4;5;6;7;8;9;10;\n");
    EXPECT_EQ(checkReplayFile(text.path(), warnings), tools::notARecording(std::filesystem::u8path(text.path())));
    EXPECT_EQ(checkReplayFile(text.path(), warnings)->rfind("not a recording: " + text.path() + " does not begin with the lines \"Sep=;\"", 0), 0u);

    const TempFile empty("");
    EXPECT_EQ(checkReplayFile(empty.path(), warnings), "not a recording: " + empty.path() + " is empty");

    const TempFile headerOnly(std::string(kHeader) + "trigger: 1\r\n");
    EXPECT_EQ(checkReplayFile(headerOnly.path(), warnings), "no sample lines in " + headerOnly.path());
}

}  // namespace
}  // namespace tyvarion::sim
