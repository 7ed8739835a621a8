// Reading recording files back: fields, missing values, text lines and their
// place among the samples, gaps in the index; what is not a recording, a file
// cut off mid-line, lines that cannot be read.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "recording-reader/recording_reader.h"
#include "recording-reader/recording_stream.h"
#include "recording-reader/timeline.h"
#include "recording/line_format.h"
#include "test_environment.h"

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
                                      "104;2;1;1;1;1;1;1;1;1;\n");
    EXPECT_TRUE(recording.hasSeparatorLine);
    EXPECT_TRUE(recording.hasColumnHeader);
    ASSERT_EQ(recording.samples.size(), 3u);
    EXPECT_EQ(recording.triggers, 2u);
    EXPECT_EQ(recording.messages, 2u);
    ASSERT_EQ(recording.texts.size(), 4u);

    EXPECT_EQ(recording.texts[0].kind, TextKind::trigger);
    EXPECT_EQ(recording.texts[0].value, "1");
    EXPECT_EQ(recording.texts[0].samplesBefore, 0u);
    EXPECT_EQ(recording.texts[1].kind, TextKind::message);
    EXPECT_EQ(recording.texts[1].value, "trial 1 start");
    EXPECT_EQ(recording.texts[2].value, "-3");
    EXPECT_EQ(recording.texts[2].samplesBefore, 2u);
    EXPECT_EQ(recording.texts[3].value, "a; b: c");
    EXPECT_EQ(recording.unreadable.count, 0u);
    EXPECT_EQ(recording.cutOffBytes, 0u);
    EXPECT_TRUE(readingWarnings(recording).empty());

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

TEST(RecordingReader, HeaderIsTheWritersHeader) {
    EXPECT_EQ(std::string(kColumnHeaderText) + "\n", kColumnHeaderLine);
    EXPECT_EQ(std::string(kSeparatorLineText) + "\n", kSeparatorLine);
}

TEST(RecordingReader, OnlyTheTwoHeaderLinesMakeARecording) {
    const std::string columns = std::string(kHeader).substr(6);  // without "Sep=;\n"
    EXPECT_TRUE(parse(kHeader).recognised());
    EXPECT_FALSE(parse("").recognised());
    EXPECT_FALSE(parse("Sep=;\n").recognised());
    EXPECT_FALSE(parse(columns + "1;2;3;4;5;6;7;8;9;10;\n").recognised());     // no separator line
    EXPECT_FALSE(parse("Sep=;\n1;2;3;4;5;6;7;8;9;10;\n").recognised());       // no column header
    EXPECT_FALSE(parse("Sep=;\ntimestamp [us];\tindex;\n").recognised());     // a column header cut short
    EXPECT_FALSE(parse("Sep=,\n" + columns).recognised());
    EXPECT_FALSE(parse("# Tyvarion NBS\n\nSep=;\n" + columns).recognised());  // the header further down
    // The whole header, its last line cut off before the line end.
    EXPECT_FALSE(parse(std::string(kHeader).substr(0, std::string(kHeader).size() - 1)).recognised());
    // A file without line ends is not read to its end.
    std::istringstream noLineEnds(std::string(1 << 20, 'x'));
    EXPECT_FALSE(parseRecording(noLineEnds).recognised());
    EXPECT_GT(noLineEnds.rdbuf()->in_avail(), (1 << 20) - 1000);

    const Recording refused = parse("Sep=;\n1;2;3;4;5;6;7;8;9;10;\n");
    EXPECT_TRUE(refused.hasSeparatorLine);
    EXPECT_FALSE(refused.hasColumnHeader);
    EXPECT_TRUE(refused.samples.empty());  // nothing read past the header
}

TEST(RecordingReader, CutOffLastLineIsLeftOutWithOneWarning) {
    const Recording cut = parse(std::string(kHeader) + "100;0;1;1;1;1;1;1;1;1;\ntrigger: 2\n102;1;1;1;1");
    EXPECT_TRUE(cut.recognised());
    EXPECT_EQ(cut.samples.size(), 1u);
    EXPECT_EQ(cut.triggers, 1u);
    EXPECT_EQ(cut.cutOffBytes, 11u);
    EXPECT_EQ(cut.unreadable.count, 0u);
    EXPECT_EQ(readingWarnings(cut),
              std::vector<std::string>{"the file ends in the middle of a line: its last 11 bytes were left out"});

    // A line that looks whole but lacks its line end is still cut off; so is
    // one cut between CR and LF.
    EXPECT_EQ(parse(std::string(kHeader) + "100;0;1;1;1;1;1;1;1;1;").cutOffBytes, 22u);
    const Recording betweenCrAndLf = parse(std::string(kHeader) + "100;0;1;1;1;1;1;1;1;1;\r\n102;1;1;1;1;1;1;1;1;1;\r");
    EXPECT_EQ(betweenCrAndLf.samples.size(), 1u);
    EXPECT_EQ(betweenCrAndLf.cutOffBytes, 23u);
    EXPECT_EQ(readingWarnings(parse(std::string(kHeader) + "1")),
              std::vector<std::string>{"the file ends in the middle of a line: its last byte was left out"});
}

TEST(RecordingReader, UnreadableLinesAreCountedWithTheFirstLineNumber) {
    const Recording one = parse(std::string(kHeader) + "100;0;1;1;1;1;1;1;1;1;\nsomething else\ntrigger: 1\n");
    EXPECT_EQ(one.unreadable.count, 1u);
    EXPECT_EQ(one.unreadable.firstLineNumber, 4u);
    EXPECT_EQ(one.unreadable.firstText, "something else");
    EXPECT_EQ(one.texts.size(), 1u);  // the trigger only
    EXPECT_EQ(readingWarnings(one),
              std::vector<std::string>{"1 line could not be read and was left out: line 4"});

    const Recording several = parse(std::string(kHeader) +
                                    "100;0;1;1;1;1;1;1;1;1;\n"
                                    "trigger: 1\n"
                                    "101;1;1;1;1;1\n"      // a sample line missing its end
                                    "\n"                   // an empty line
                                    "102;2;1;1;1;1;1;1;1;1;\n"
                                    "Trigger: 3\n"
                                    "103;3");
    EXPECT_EQ(several.samples.size(), 2u);
    EXPECT_EQ(several.unreadable.count, 3u);
    EXPECT_EQ(several.unreadable.firstLineNumber, 5u);
    EXPECT_EQ(several.unreadable.firstText, "101;1;1;1;1;1");
    EXPECT_EQ(readingWarnings(several),
              (std::vector<std::string>{"the file ends in the middle of a line: its last 5 bytes were left out",
                                        "3 lines could not be read and were left out, the first is line 5"}));
}

TEST(RecordingReader, StreamHandsOutOnlyWhatIsRead) {
    std::istringstream notOne("100;0;1;1;1;1;1;1;1;1;\ntrigger: 1\n");
    RecordingStream refused(notOne);
    EXPECT_FALSE(refused.next());
    EXPECT_FALSE(refused.recognised());
    EXPECT_EQ(refused.sampleLines(), 0u);

    std::istringstream input(std::string(kHeader) + "junk\n100;0;1;1;1;1;1;1;1;1;\nmessage: m\n101;1;1;1;1;1;1");
    RecordingStream stream(input);
    ASSERT_TRUE(stream.next());
    EXPECT_TRUE(stream.recognised());
    EXPECT_TRUE(stream.atSample());
    EXPECT_EQ(stream.sample().index, 0);
    ASSERT_TRUE(stream.next());
    EXPECT_FALSE(stream.atSample());
    EXPECT_EQ(stream.text().kind, TextKind::message);
    EXPECT_EQ(stream.text().value, "m");
    EXPECT_EQ(stream.previousSample()->index, 0);
    EXPECT_FALSE(stream.next());
    EXPECT_EQ(stream.sampleLines(), 1u);
    EXPECT_EQ(stream.messages(), 1u);
    EXPECT_EQ(stream.unreadable().count, 1u);
    EXPECT_EQ(stream.unreadable().firstLineNumber, 3u);
    EXPECT_EQ(stream.cutOffBytes(), 15u);
}

TEST(RecordingReader, FilesThatAreNotRecordings) {
    const tyvarion::testing::ScratchFolder scratch("tyvarion-reader");
    const std::filesystem::path& folder = scratch.path();
    const auto write = [&](const char* name, const std::string& bytes) {
        std::ofstream(folder / name, std::ios::binary) << bytes;
        return folder / name;
    };
    const auto refusal = [](const std::filesystem::path& path) {
        std::string error;
        EXPECT_FALSE(readRecording(path, error)) << path;
        return error;
    };
    const auto notA = [&](const char* name) { return "not a recording: " + (folder / name).string(); };

    EXPECT_EQ(refusal("/nonexistent/folder/tyvarion_NBS_x.csv"),
              "cannot open /nonexistent/folder/tyvarion_NBS_x.csv");
    EXPECT_EQ(refusal(folder), "not a recording: " + folder.string() + " is a directory");
    EXPECT_EQ(refusal(write("empty.csv", "")), notA("empty.csv") + " is empty");
    const std::string notHeader = " does not begin with the lines \"Sep=;\" and \"timestamp [us];<tab>index;...\"";
    EXPECT_EQ(refusal(write("README.md", "# Tyvarion NBS\n\n```sh\nscripts/demo\n```\n")),
              notA("README.md") + notHeader);
    std::string bytes;
    for (int i = 0; i < 4096; ++i) bytes += static_cast<char>((i * 7919) % 256);
    EXPECT_EQ(refusal(write("random.bin", bytes)), notA("random.bin") + notHeader);
    EXPECT_EQ(refusal(write("no-header.csv", "100;0;1;1;1;1;1;1;1;1;\n")),
              notA("no-header.csv") + notHeader);

    std::string error;
    const auto headerOnly = readRecording(write("header.csv", kHeader), error);
    ASSERT_TRUE(headerOnly) << error;
    EXPECT_TRUE(headerOnly->samples.empty());
    EXPECT_TRUE(readingWarnings(*headerOnly).empty());
}

TEST(RecordingReader, LinesLongerThanTheCapAreSkippedUnread) {
    // A message of the cap's length is read; one byte more and the line is
    // unreadable, skipped to its end, and the reading goes on after it.
    const std::string atCap = "message: " + std::string(kLongestLine - 9, 'a');
    const std::string overCap = "message: " + std::string(kLongestLine - 8, 'b');
    const Recording read = parse(std::string(kHeader) + atCap + "\n" + overCap + "\r\n100;0;1;1;1;1;1;1;1;1;\n" +
                                 overCap + "\ntrigger: 5\n");
    ASSERT_EQ(read.texts.size(), 2u);
    EXPECT_EQ(read.texts[0].value.size(), kLongestLine - 9);
    EXPECT_EQ(read.texts[1].value, "5");
    EXPECT_EQ(read.samples.size(), 1u);
    EXPECT_EQ(read.unreadable.count, 2u);
    EXPECT_EQ(read.unreadable.firstLineNumber, 4u);
    EXPECT_EQ(read.unreadable.firstText, overCap.substr(0, 256));
    EXPECT_EQ(read.cutOffBytes, 0u);

    // Over the cap and cut off: one cut-off line, all of its bytes counted.
    const Recording cut = parse(std::string(kHeader) + "100;0;1;1;1;1;1;1;1;1;\n" + overCap);
    EXPECT_EQ(cut.samples.size(), 1u);
    EXPECT_EQ(cut.unreadable.count, 0u);
    EXPECT_EQ(cut.cutOffBytes, overCap.size());
}

TEST(RecordingReader, TimelineRunsAndTheirWarnings) {
    const auto at = [](std::int64_t time, std::int32_t index) {
        RecordedSample sample;
        sample.timeMicros = time;
        sample.index = index;
        return sample;
    };
    TimelineCheck steady;
    EXPECT_FALSE(steady.add(at(100, 0), 3));
    EXPECT_FALSE(steady.add(at(102, 1), 4));
    EXPECT_FALSE(steady.add(at(106, 3), 5));  // a gap in the index is no new run
    EXPECT_EQ(steady.anomalies().runs, 1u);
    EXPECT_TRUE(timelineWarnings(steady.anomalies()).empty());

    TimelineCheck odd;
    odd.add(at(100, 0), 3);
    EXPECT_FALSE(odd.add(at(100, 1), 4));  // a time stamp repeated: counted, same run
    EXPECT_TRUE(odd.add(at(98, 2), 5));    // time falls
    EXPECT_TRUE(odd.add(at(200, 2), 7));   // index repeats
    EXPECT_TRUE(odd.add(at(300, 0), 8));   // index restarts
    EXPECT_FALSE(odd.add(at(302, 1), 9));
    EXPECT_FALSE(odd.add(at(302, 2), 10));
    const TimelineAnomalies& a = odd.anomalies();
    EXPECT_EQ(a.runs, 4u);
    EXPECT_EQ(a.secondRunLine, 5u);
    EXPECT_EQ(a.zeroIntervals, 2u);
    EXPECT_EQ(a.firstZeroLine, 4u);
    EXPECT_EQ(a.negativeIntervals, 1u);
    EXPECT_EQ(a.indexRestarts, 2u);
    EXPECT_EQ(a.firstRestartLine, 7u);
    EXPECT_EQ(timelineWarnings(a),
              (std::vector<std::string>{
                  "2 sample lines have the time stamp of the line before (an interval of zero), the first at line 4",
                  "1 time stamp falls below the one before (a negative interval): line 5",
                  "the index does not rise 2 times (it restarts or repeats), the first at line 7",
                  "the recording holds 4 runs of time that share no time axis; the second begins at line 5"}));
}

}  // namespace
}  // namespace tyvarion::tools
