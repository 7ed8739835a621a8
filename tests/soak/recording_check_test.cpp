// The soak's judge of recording files must itself catch what it is there to
// catch: a line lost, doubled, reordered or foreign, and a broken sample line.
#include <gtest/gtest.h>

#include <sstream>

#include "recording_check.h"

namespace tyvarion::soak {
namespace {

tools::Recording parse(const std::string& body) {
    std::istringstream in("Sep=;\ntimestamp [us];\tindex;\tPOR X [px];\tPOR Y [px];\tPOR Left X [px];"
                          "\tPOR Left Y [px];\tPupil Diam Left [mm];\tPOR Right X [px];"
                          "\tPOR Right Y [px];\tPupil Diam Right [mm]\n" +
                          body);
    return tools::parseRecording(in);
}

const std::string kSample1 = "1000;1;960;540;958;540;4;962;540;6;\n";
const std::string kSample2 = "1050;2;960;540;958;540;4;962;540;6;\n";

TEST(RecordingCheck, JudgesTextLinesAgainstWhatWasSent) {
    const tools::Recording file =
        parse(kSample1 + "trigger: 1\nmessage: a;b\n" + kSample2 + "trigger: 3\n");
    EXPECT_EQ("", checkRecording(file, {{"trigger: 1"}, {"message: a;b"}, {"trigger: 3"}}));
    // A line that may have missed the recording may be absent or present.
    EXPECT_EQ("", checkRecording(file, {{"trigger: 1"}, {"message: a;b"}, {"trigger: 2", false},
                                        {"trigger: 3"}}));
    EXPECT_EQ("", checkRecording(file, {{"trigger: 1"}, {"message: a;b"}, {"trigger: 3", false}}));

    EXPECT_EQ("\"trigger: 2\" is missing or out of order (found \"trigger: 3\")",
              checkRecording(file, {{"trigger: 1"}, {"message: a;b"}, {"trigger: 2"}, {"trigger: 3"}}));
    EXPECT_EQ("\"trigger: 3\" is missing or out of order (found \"trigger: 1\")",
              checkRecording(file, {{"trigger: 3"}, {"trigger: 1"}, {"message: a;b"}}));
    EXPECT_EQ("\"trigger: 3\" was never sent there, or stands there twice",
              checkRecording(file, {{"trigger: 1"}, {"message: a;b"}}));
    EXPECT_EQ("\"trigger: 1\" was never sent there, or stands there twice",
              checkRecording(parse("trigger: 1\ntrigger: 1\n"), {{"trigger: 1"}}));
}

TEST(RecordingCheck, JudgesSampleLines) {
    EXPECT_EQ("sample index 1 after 2", checkRecording(parse(kSample2 + kSample1), {}));
    EXPECT_EQ("sample index 1 after 1", checkRecording(parse(kSample1 + kSample1), {}));
    EXPECT_EQ("a line that is neither sample nor text: \"1050;2;960;540;958\"",
              checkRecording(parse(kSample1 + "1050;2;960;540;958\n"), {}));
    EXPECT_EQ("the last line has no line end", checkRecording(parse(kSample1 + "1050;2;960;540;958"), {}));
    std::istringstream headless(kSample1);
    EXPECT_EQ("the header is missing", checkRecording(tools::parseRecording(headless), {}));
}

}  // namespace
}  // namespace tyvarion::soak
