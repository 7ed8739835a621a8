#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

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

TEST(Replay, ParsesASampleLine) {
    const auto sample = parseSampleLine("1500;42;959.5;540.25;957;541;6.4;INVALID;INVALID;6.5;");
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->timestampMicroSec, 1500);
    EXPECT_EQ(sample->index, 42);
    EXPECT_EQ(sample->porX, 959.5);
    EXPECT_EQ(sample->porY, 540.25);
    EXPECT_EQ(sample->porLeftX, 957);
    EXPECT_EQ(sample->porLeftY, 541);
    EXPECT_EQ(sample->pupilRadiusLeft, 3.2);  // the file holds diameters
    EXPECT_EQ(sample->porRightX, kInvalid);
    EXPECT_EQ(sample->porRightY, kInvalid);
    EXPECT_EQ(sample->pupilRadiusRight, 3.25);
    EXPECT_EQ(tyapi::TYInvalidValue, kInvalid);

    const auto windows = parseSampleLine("-3;-7;1.2e-05;1.23457e+06;0;0;INVALID;0;0;INVALID;\r");
    ASSERT_TRUE(windows);
    EXPECT_EQ(windows->timestampMicroSec, -3);
    EXPECT_EQ(windows->index, -7);
    EXPECT_EQ(windows->porX, 1.2e-05);
    EXPECT_EQ(windows->porY, 1.23457e+06);
    EXPECT_EQ(windows->pupilRadiusLeft, kInvalid);
    EXPECT_EQ(windows->pupilRadiusRight, kInvalid);
}

TEST(Replay, EveryOtherLineIsNotASample) {
    for (const char* line : {
             "Sep=;",
             "timestamp [us];\tindex;\tPOR X [px];\tPOR Y [px];\tPOR Left X [px];\tPOR Left Y [px];"
             "\tPupil Diam Left [mm];\tPOR Right X [px];\tPOR Right Y [px];\tPupil Diam Right [mm]",
             "trigger: 17",
             "message: 1;2;3;4;5;6;7;8;9;10;",
             "",
             "1500;42;959.5;540.25;957;541;6.4;INVALID;INVALID;6.5",     // last ";" missing
             "1500;42;959.5;540.25;957;541;6.4;INVALID;INVALID;6.5;7;",  // eleven fields
             "1500;42;959.5;540.25;957;541;6.4;INVALID;INVALID;;",       // empty field
             "1500.5;42;1;1;1;1;1;1;1;1;",                               // time not an integer
             "1500;2147483648;1;1;1;1;1;1;1;1;",                         // index past 32 bits
             "1500;42;1;1;1;1;1;1;1;1x;",
             "1500;42; 1;1;1;1;1;1;1;1;",
             "1500;42;invalid;1;1;1;1;1;1;1;",
         }) {
        EXPECT_FALSE(parseSampleLine(line)) << line;
    }
}

TEST(Replay, SourceSkipsTextAndKeepsRecordedTimes) {
    const TempFile file(
        "Sep=;\r\n"
        "timestamp [us];\tindex;\tPOR X [px];\tPOR Y [px];\tPOR Left X [px];\tPOR Left Y [px];"
        "\tPupil Diam Left [mm];\tPOR Right X [px];\tPOR Right Y [px];\tPupil Diam Right [mm]\r\n"
        "1000000;7;1;2;3;4;5;6;7;8;\r\n"
        "trigger: 3\r\n"
        "1002000;8;1;2;3;4;5;6;7;8;\r\n"
        "message: hello\r\n"
        "1001000;9;1;2;3;4;5;6;7;8;\r\n"  // a step back in time
        "1005000;10;INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;");
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

TEST(Replay, RefusesFilesWithoutSamples) {
    std::string error;
    EXPECT_FALSE(makeReplaySource(::testing::TempDir() + "no such file.csv", error));
    EXPECT_EQ(error, "cannot open " + ::testing::TempDir() + "no such file.csv");

    const TempFile file("Sep=;\ntrigger: 1\n");
    EXPECT_FALSE(makeReplaySource(file.path(), error));
    EXPECT_EQ(error, "no sample lines in " + file.path());
}

TEST(Replay, OverlongLinesAreCutAndSkipped) {
    const TempFile file(std::string(10000, '1') + ";\n1;2;3;4;5;6;7;8;9;10;\n");
    LineReader reader(file.path());
    std::string line;
    bool overlong = false;
    ASSERT_TRUE(reader.next(line, overlong));
    EXPECT_TRUE(overlong);
    EXPECT_EQ(line.size(), LineReader::kMaxLine);
    ASSERT_TRUE(reader.next(line, overlong));
    EXPECT_FALSE(overlong);
    EXPECT_EQ(line, "1;2;3;4;5;6;7;8;9;10;");
    EXPECT_FALSE(reader.next(line, overlong));

    std::string error;
    auto source = makeReplaySource(file.path(), error);
    ASSERT_TRUE(source) << error;
    EXPECT_EQ(source->next()->sample.index, 2);
}

}  // namespace
}  // namespace tyvarion::sim
