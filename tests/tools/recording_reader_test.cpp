// Reading recording files back: fields, missing values, text lines and their
// place among the samples, gaps in the index.
#include <gtest/gtest.h>

#include <sstream>

#include "recording-reader/recording_reader.h"

namespace tyvarion::tools {
namespace {

constexpr const char* kHeader =
    "Sep=;\n"
    "timestamp [us];\tindex;\tPOR X [px];\tPOR Y [px];\tPOR Left X [px];\tPOR Left Y [px];"
    "\tPupil Diam Left [mm];\tPOR Right X [px];\tPOR Right Y [px];\tPupil Diam Right [mm]\n";

Recording parse(const std::string& text) {
    std::istringstream input(text);
    return parseRecording(input);
}

TEST(RecordingReader, SampleLineFieldsAndMissingValues) {
    const auto sample = parseSampleLine("1500;42;959.5;540.25;957;541;6.4;INVALID;INVALID;6.5;");
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->timeMicros, 1500);
    EXPECT_EQ(sample->index, 42);
    ASSERT_TRUE(sample->gaze);
    EXPECT_EQ(sample->gaze->x, 959.5);
    EXPECT_EQ(sample->gaze->y, 540.25);
    ASSERT_TRUE(sample->left);
    EXPECT_EQ(sample->left->x, 957.0);
    EXPECT_EQ(sample->left->y, 541.0);
    EXPECT_EQ(sample->pupilLeftMm, 6.4);
    EXPECT_FALSE(sample->right);
    EXPECT_EQ(sample->pupilRightMm, 6.5);

    // A Y value that is the client's marker written as a number, the NaN
    // spellings of glibc and of the Windows runtime: no value.
    const auto odd = parseSampleLine("1;2;10;-1.79769e+308;-nan;3;nan;-nan(ind);4;INVALID;\r");
    ASSERT_TRUE(odd);
    EXPECT_FALSE(odd->gaze);
    EXPECT_FALSE(odd->left);
    EXPECT_FALSE(odd->pupilLeftMm);
    EXPECT_FALSE(odd->right);
    EXPECT_FALSE(odd->pupilRightMm);

    const auto negative = parseSampleLine("-5;-1;-0.5;1e-05;1;1;1;1;1;1;");
    ASSERT_TRUE(negative);
    EXPECT_EQ(negative->timeMicros, -5);
    EXPECT_EQ(negative->index, -1);
    EXPECT_EQ(negative->gaze->x, -0.5);
    EXPECT_EQ(negative->gaze->y, 1e-05);
}

TEST(RecordingReader, LinesThatAreNotSamples) {
    EXPECT_FALSE(parseSampleLine(""));
    EXPECT_FALSE(parseSampleLine("1;2;3;4;5;6;7;8;9;"));          // nine fields
    EXPECT_FALSE(parseSampleLine("1;2;3;4;5;6;7;8;9;10;11;"));    // eleven
    EXPECT_FALSE(parseSampleLine("1;2;3;4;5;6;7;8;9;10"));        // last without ";"
    EXPECT_FALSE(parseSampleLine("1.5;2;3;4;5;6;7;8;9;10;"));     // fractional time stamp
    EXPECT_FALSE(parseSampleLine("1;2;3;4;5;6;7;8;9;x;"));
    EXPECT_FALSE(parseSampleLine("1;2;3;;5;6;7;8;9;10;"));
    EXPECT_FALSE(parseSampleLine("trigger: 17"));
}

TEST(RecordingReader, WholeFileWithTextLinesInPlace) {
    const Recording recording = parse(std::string(kHeader) +
                                      "trigger: 1\n"
                                      "message: trial 1 start\n"
                                      "100;0;1;1;1;1;1;1;1;1;\n"
                                      "102;1;1;1;1;1;1;1;1;1;\n"
                                      "trigger: -3\n"
                                      "message: a; b: c\n"
                                      "something else\n"
                                      "104;2;1;1;1;1;1;1;1;1;\n");
    EXPECT_TRUE(recording.hasSeparatorLine);
    EXPECT_TRUE(recording.hasColumnHeader);
    ASSERT_EQ(recording.samples.size(), 3u);
    EXPECT_EQ(recording.triggers, 2u);
    EXPECT_EQ(recording.messages, 2u);
    ASSERT_EQ(recording.texts.size(), 5u);

    EXPECT_EQ(recording.texts[0].kind, TextKind::trigger);
    EXPECT_EQ(recording.texts[0].value, "1");
    EXPECT_EQ(recording.texts[0].samplesBefore, 0u);
    EXPECT_EQ(recording.texts[1].kind, TextKind::message);
    EXPECT_EQ(recording.texts[1].value, "trial 1 start");
    EXPECT_EQ(recording.texts[2].value, "-3");
    EXPECT_EQ(recording.texts[2].samplesBefore, 2u);
    EXPECT_EQ(recording.texts[3].value, "a; b: c");
    EXPECT_EQ(recording.texts[4].kind, TextKind::other);
    EXPECT_EQ(recording.texts[4].text, "something else");

    // A text line stands at the time of the sample above it, or of the first.
    EXPECT_EQ(textLineTime(recording, recording.texts[0]), 100);
    EXPECT_EQ(textLineTime(recording, recording.texts[2]), 102);
    EXPECT_EQ(textLineTime(Recording{}, recording.texts[0]), std::nullopt);
}

TEST(RecordingReader, WindowsLineEnds) {
    std::string text = std::string(kHeader) + "trigger: 5\n7;0;1;2;3;4;5;6;7;8;\n";
    std::string crlf;
    for (char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    const Recording recording = parse(crlf);
    EXPECT_TRUE(recording.hasSeparatorLine);
    EXPECT_TRUE(recording.hasColumnHeader);
    ASSERT_EQ(recording.samples.size(), 1u);
    EXPECT_EQ(recording.samples[0].pupilRightMm, 8.0);
    ASSERT_EQ(recording.texts.size(), 1u);
    EXPECT_EQ(recording.texts[0].value, "5");
}

TEST(RecordingReader, MissingSamplesFromIndexGaps) {
    std::vector<RecordedSample> samples(5);
    const int indices[] = {10, 11, 14, 15, 20};
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i].index = indices[i];
    EXPECT_EQ(missingSamples(samples), 2 + 4);
    EXPECT_EQ(missingSamples({}), 0);
    // A restart of the index (a new connection) is not a gap.
    samples[4].index = 0;
    EXPECT_EQ(missingSamples(samples), 2);
}

TEST(RecordingReader, FileThatDoesNotOpen) {
    std::string error;
    EXPECT_FALSE(readRecording("/nonexistent/folder/tyvarion_NBS_x.csv", error));
    EXPECT_EQ(error, "cannot open /nonexistent/folder/tyvarion_NBS_x.csv");
}

}  // namespace
}  // namespace tyvarion::tools
