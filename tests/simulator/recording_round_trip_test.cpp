// The replay reads what the plug-in's own recording writer writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "recording/line_format.h"
#include "server/gaze_model.h"
#include "server/replay.h"
#include "server/sample_source.h"

namespace tyvarion::sim {
namespace {

TEST(RecordingRoundTrip, WriterLinesReplayToTheSameLines) {
    GazeModel model(GazeModelConfig{1920, 1080, 500, 4, 11});
    std::vector<std::string> written;
    std::string file = std::string(kSeparatorLine) + std::string(kColumnHeaderLine);
    bool sawBlink = false;
    for (int i = 0; i < 3000; ++i) {
        tyapi::TYGazeSample sample = model.next();
        sample.timestampMicroSec = 1796716454493065 + 2000 * i;
        sample.index = i;
        sawBlink = sawBlink || sample.porX == tyapi::TYInvalidValue;
        const std::string line(SampleLine(sample).text());
        written.push_back(line.substr(0, line.size() - 1));  // without "\n"
        file += line;
        if (i % 100 == 0) file += triggerText(i) + "\n" + "message: trial;" + std::to_string(i) + ";\n";
    }
    ASSERT_TRUE(sawBlink);

    const std::string path = ::testing::TempDir() + "sim_round_trip.csv";
    std::ofstream(path, std::ios::binary) << file;
    std::string error;
    auto source = makeReplaySource(path, error);
    ASSERT_TRUE(source) << error;
    for (std::size_t i = 0; i < written.size(); ++i) {
        const auto timed = source->next();
        ASSERT_TRUE(timed) << i;
        EXPECT_EQ(timed->dueMicros, static_cast<std::int64_t>(2000 * i));
        // Six significant digits survive a second formatting unchanged.
        const std::string again(SampleLine(timed->sample).text());
        ASSERT_EQ(again.substr(0, again.size() - 1), written[i]) << i;
    }
    EXPECT_FALSE(source->next());
    std::remove(path.c_str());
}

}  // namespace
}  // namespace tyvarion::sim
