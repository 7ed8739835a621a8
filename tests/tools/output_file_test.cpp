// The tools' output files: what they refuse to write over, and the write by
// a temporary file renamed into place.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "output-file/output_file.h"
#include "plot-recording/plot.h"
#include "test_environment.h"

namespace tyvarion::tools {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
    std::ifstream input(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(input), {});
}

const OutputKind kNotes{"a note", [](std::string_view head) { return head.substr(0, 5) == "NOTE\n"; }};

TEST(OutputFile, RefusesTheInputADirectoryAndFilesOfAnotherKind) {
    const tyvarion::testing::ScratchFolder scratch("tyvarion-output");
    const fs::path& folder = scratch.path();
    const fs::path recording = folder / "rec.csv";
    std::ofstream(recording, std::ios::binary) << "Sep=;\n";
    std::ofstream(folder / "old.note", std::ios::binary) << "NOTE\nold\n";
    const fs::path inputs[] = {recording};
    const auto shown = [&](const fs::path& path) { return "will not write over " + path.string() + ": "; };

    EXPECT_EQ(outputRefusal(folder / "new.note", inputs, kNotes), std::nullopt);
    EXPECT_EQ(outputRefusal(folder / "old.note", inputs, kNotes), std::nullopt);  // its own earlier output
    EXPECT_EQ(outputRefusal(recording, inputs, kNotes), shown(recording) + "it is the input");
    // The same file under another name: another spelling, a hard link.
    EXPECT_EQ(outputRefusal(folder / "." / "rec.csv", inputs, kNotes),
              shown(folder / "." / "rec.csv") + "it is the input");
    std::error_code noLinks;
    fs::create_hard_link(recording, folder / "link.csv", noLinks);
    if (!noLinks) {
        EXPECT_EQ(outputRefusal(folder / "link.csv", inputs, kNotes), shown(folder / "link.csv") + "it is the input");
    }
    // A recording that is not the input, and an empty file, are not notes either.
    EXPECT_EQ(outputRefusal(recording, {}, kNotes), shown(recording) + "it exists and is not a note");
    std::ofstream(folder / "empty.note").close();
    EXPECT_EQ(outputRefusal(folder / "empty.note", {}, kNotes), shown(folder / "empty.note") + "it exists and is not a note");
    EXPECT_EQ(outputRefusal(folder, {}, kNotes), shown(folder) + "it is a directory");
}

TEST(OutputFile, WritesThroughATemporaryFileRenamedIntoPlace) {
    const tyvarion::testing::ScratchFolder scratch("tyvarion-output");
    const fs::path& folder = scratch.path();
    std::string error;
    ASSERT_TRUE(replaceFile(folder / "a.note", "NOTE\nfirst\n", error)) << error;
    ASSERT_TRUE(replaceFile(folder / "a.note", "NOTE\nsecond\n", error)) << error;
    EXPECT_EQ(contents(folder / "a.note"), "NOTE\nsecond\n");
    // Nothing else is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);

    EXPECT_FALSE(replaceFile(folder / "no-folder" / "a.note", "NOTE\n", error));
    EXPECT_EQ(error, "cannot write in the folder of " + (folder / "no-folder" / "a.note").string());
    EXPECT_FALSE(fs::exists(folder / "no-folder"));
}

TEST(OutputFile, PicturesAreKnownByTheirMark) {
    const std::string picture = plot::plotRecording(Recording{}, plot::PlotOptions{});
    EXPECT_EQ(picture.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<!-- picture of a recording, written by plot-recording -->\n<svg ",
                            0),
              0u);
    EXPECT_TRUE(plot::kPictureKind.isOwn(picture.substr(0, kOutputHeadBytes)));
    EXPECT_FALSE(plot::kPictureKind.isOwn("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns="));
    EXPECT_FALSE(plot::kPictureKind.isOwn("Sep=;\ntimestamp [us];"));
    EXPECT_FALSE(plot::kPictureKind.isOwn(""));
}

}  // namespace
}  // namespace tyvarion::tools
