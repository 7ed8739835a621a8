// The BIDS export of recordings made for the purpose: every file and its
// exact contents, the BIDS 1.11 eye-tracking rules on the result (and that
// the rules check catches their breaking), names and bad input.
#include <gtest/gtest.h>

#include <zlib.h>

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "bids_rules_check.h"
#include "recording-to-bids/bids_export.h"
#include "recording-to-bids/bids_outputs.h"
#include "recording_maker.h"
#include "test_environment.h"

namespace tyvarion::tools {
namespace {

using testing::gunzip;
using testing::kRecordingHeader;
using testing::MadeSample;
using testing::sampleLine;

MadeSample made(std::int32_t index) {
    MadeSample s;
    s.timeMicros = 2'000'000 + std::int64_t{index} * 1000;
    s.index = index;
    s.gaze = GazePoint{960.0 + index, 540.0 - index};
    s.left = GazePoint{950.5 + index, 530.25};
    s.pupilLeftMm = 4.25;
    s.right = GazePoint{970, 550.5};
    s.pupilRightMm = 4.5;
    return s;
}

// Samples 0 to 5 without 3; the left eye lost in 1, the binocular point in 2,
// the right pupil in 4; text lines before the first sample, after the third
// and at the end.
std::string madeRecording() {
    std::string text = kRecordingHeader;
    text += "message: vor dem Start \xE2\x80\x94 \xE9\x96\x8B\xE5\xA7\x8B\tmit Tab\n";
    for (std::int32_t i : {0, 1, 2, 4, 5}) {
        MadeSample s = made(i);
        if (i == 1) s.left.reset();
        if (i == 2) s.gaze.reset();
        if (i == 4) s.pupilRightMm.reset();
        text += sampleLine(s);
        if (i == 2) text += "trigger: 7\nmessage: 17\n";
    }
    return text + "message: \n";
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream input(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(input), {});
}

nlohmann::json readJson(const std::filesystem::path& path) { return nlohmann::json::parse(readFile(path)); }

BidsExportOptions optionsFor(const std::filesystem::path& root) {
    BidsExportOptions options;
    options.root = root;
    options.entities = {"01", "search", std::nullopt, "1"};
    options.screen = {1920, 1080, 531.0, 299.0, 650.0};
    return options;
}

std::optional<BidsExport> exportText(const std::string& text, const BidsExportOptions& options, std::string& error) {
    std::istringstream input(text);
    BidsExportFailure failure;
    auto result = exportToBids(input, options, failure);
    error = failure.message;
    return result;
}

class BidsExportTest : public ::testing::Test {
protected:
    testing::ScratchFolder scratch_{"tyvarion-bids"};
    std::filesystem::path beh() const { return scratch_.path() / "sub-01" / "beh"; }
    std::filesystem::path at(const std::string& name) const { return beh() / ("sub-01_task-search_run-1_" + name); }
};

TEST_F(BidsExportTest, EveryFileWithItsContents) {
    std::string error;
    const auto result = exportText(madeRecording(), optionsFor(scratch_.path()), error);
    ASSERT_TRUE(result) << error;
    EXPECT_EQ(5u, result->samples);
    EXPECT_EQ(1u, result->missingRows);
    EXPECT_EQ(1u, result->triggers);
    EXPECT_EQ(3u, result->messages);
    EXPECT_EQ(1000.0, result->samplingFrequencyHz);  // the median interval, 1 ms, despite the gap
    EXPECT_EQ(beh(), result->folder);
    EXPECT_EQ(16u, result->files.size());  // 7 tables, 7 sidecars, the description, README
    EXPECT_TRUE(result->warnings.empty());
    for (const auto& file : result->files) EXPECT_TRUE(std::filesystem::exists(file)) << file;
    EXPECT_EQ(16u, static_cast<std::size_t>(std::distance(std::filesystem::recursive_directory_iterator(scratch_.path()),
                                                          std::filesystem::recursive_directory_iterator())) -
                       2);  // nothing else: no temporary left (the folders sub-01 and beh aside)

    // Sample 3 never came: a row of n/a on the grid, between its neighbours.
    EXPECT_EQ("2000000\t950.5\t530.25\t4.25\n"
              "2001000\tn/a\tn/a\t4.25\n"
              "2002000\t952.5\t530.25\t4.25\n"
              "2003000\tn/a\tn/a\tn/a\n"
              "2004000\t954.5\t530.25\t4.25\n"
              "2005000\t955.5\t530.25\t4.25\n",
              gunzip(at("recording-eye1_physio.tsv.gz")));
    EXPECT_EQ("2000000\t970\t550.5\t4.5\n"
              "2001000\t970\t550.5\t4.5\n"
              "2002000\t970\t550.5\t4.5\n"
              "2003000\tn/a\tn/a\tn/a\n"
              "2004000\t970\t550.5\tn/a\n"
              "2005000\t970\t550.5\t4.5\n",
              gunzip(at("recording-eye2_physio.tsv.gz")));
    EXPECT_EQ("2000000\t960\t540\n"
              "2001000\t961\t539\n"
              "2002000\tn/a\tn/a\n"
              "2003000\tn/a\tn/a\n"
              "2004000\t964\t536\n"
              "2005000\t965\t535\n",
              gunzip(at("recording-eye3_physio.tsv.gz")));
    // Onsets are the time stamp of the sample before; before the first, the
    // first's. A text with a tab is quoted, the tab kept.
    const std::string events = "2000000\t0\tmessage\tn/a\t\"vor dem Start \xE2\x80\x94 \xE9\x96\x8B\xE5\xA7\x8B\tmit Tab\"\n"
                               "2002000\t0\ttrigger\t7\tn/a\n"
                               "2002000\t0\tmessage\tn/a\t17\n"
                               "2005000\t0\tmessage\tn/a\tn/a\n";
    for (const char* eye : {"eye1", "eye2", "eye3"}) {
        EXPECT_EQ(events, gunzip(at(std::string("recording-") + eye + "_physioevents.tsv.gz"))) << eye;
    }
    EXPECT_EQ("onset\tduration\ttrial_type\tvalue\tmessage\n"
              "0.000000\t0\tmessage\tn/a\t\"vor dem Start \xE2\x80\x94 \xE9\x96\x8B\xE5\xA7\x8B\tmit Tab\"\n"
              "0.002000\t0\ttrigger\t7\tn/a\n"
              "0.002000\t0\tmessage\tn/a\t17\n"
              "0.005000\t0\tmessage\tn/a\tn/a\n",
              readFile(at("events.tsv")));

    const auto left = readJson(at("recording-eye1_physio.json"));
    EXPECT_EQ(1000.0, left["SamplingFrequency"]);
    EXPECT_EQ(0, left["StartTime"]);
    EXPECT_EQ((nlohmann::json{"timestamp", "x_coordinate", "y_coordinate", "pupil_size"}), left["Columns"]);
    EXPECT_EQ("eyetrack", left["PhysioType"]);
    EXPECT_EQ("left", left["RecordedEye"]);
    EXPECT_EQ("gaze-on-screen", left["SampleCoordinateSystem"]);
    EXPECT_EQ("pixel", left["x_coordinate"]["Units"]);
    EXPECT_EQ("mm", left["pupil_size"]["Units"]);
    EXPECT_EQ("Pupil diameter of the left eye.", left["pupil_size"]["Description"]);
    EXPECT_EQ("right", readJson(at("recording-eye2_physio.json"))["RecordedEye"]);
    const auto binocular = readJson(at("recording-eye3_physio.json"));
    EXPECT_EQ("cyclopean", binocular["RecordedEye"]);
    EXPECT_EQ((nlohmann::json{"timestamp", "x_coordinate", "y_coordinate"}), binocular["Columns"]);
    const auto physioEvents = readJson(at("recording-eye2_physioevents.json"));
    EXPECT_EQ("timestamp", physioEvents["OnsetSource"]);
    EXPECT_EQ((nlohmann::json{"onset", "duration", "trial_type", "value", "message"}), physioEvents["Columns"]);
    const auto screen = readJson(at("events.json"))["StimulusPresentation"];
    EXPECT_EQ(0.65, screen["ScreenDistance"]);
    EXPECT_EQ((nlohmann::json{"top", "left"}), screen["ScreenOrigin"]);
    EXPECT_EQ((nlohmann::json{1920, 1080}), screen["ScreenResolution"]);
    EXPECT_EQ((nlohmann::json{0.531, 0.299}), screen["ScreenSize"]);
    const auto description = readJson(scratch_.path() / "dataset_description.json");
    EXPECT_EQ("1.11.0", description["BIDSVersion"]);
    EXPECT_EQ("raw", description["DatasetType"]);
    EXPECT_EQ("1.0.0.1", description["GeneratedBy"][0]["Version"]);
    EXPECT_FALSE(description.contains("Authors"));  // none given
    EXPECT_EQ("Tyvarion NBS 1.0.0.1", left["SoftwareVersions"]);
    EXPECT_EQ("Tyvarion", left["Manufacturer"]);

    EXPECT_EQ(std::vector<std::string>{}, testing::checkBidsEyetracking(scratch_.path()));
}

TEST_F(BidsExportTest, TheRulesCheckFindsBrokenRules) {
    std::string error;
    ASSERT_TRUE(exportText(madeRecording(), optionsFor(scratch_.path()), error)) << error;
    const auto rewrite = [](const std::filesystem::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    };
    const auto gzip = [](const std::filesystem::path& path, const std::string& text) {
        gzFile file = gzopen(path.c_str(), "wb");
        gzwrite(file, text.data(), static_cast<unsigned>(text.size()));
        gzclose(file);
    };

    // A header line in a table, a pupil of unknown kind, a screen without its size.
    gzip(at("recording-eye3_physio.tsv.gz"), "timestamp\tx_coordinate\ty_coordinate\n2000000\t960\t540\n");
    auto left = readJson(at("recording-eye1_physio.json"));
    left["pupil_size"]["Description"] = "Pupil of the left eye.";
    rewrite(at("recording-eye1_physio.json"), left.dump());
    auto events = readJson(at("events.json"));
    events["StimulusPresentation"].erase("ScreenSize");
    rewrite(at("events.json"), events.dump());
    auto physioEvents = readJson(at("recording-eye2_physioevents.json"));
    physioEvents["OnsetSource"] = "time";
    rewrite(at("recording-eye2_physioevents.json"), physioEvents.dump());

    // A row off the sampling grid (a gap closed up), a byte that is not UTF-8.
    gzip(at("recording-eye2_physio.tsv.gz"), "2000000\t970\t550.5\t4.5\n2003000\t970\t550.5\t4.5\n");
    gzip(at("recording-eye1_physioevents.tsv.gz"), "2000000\t0\tmessage\tn/a\t\xFF\n");

    const auto problems = testing::checkBidsEyetracking(scratch_.path());
    const auto found = [&](const std::string& text) {
        return std::find(problems.begin(), problems.end(), text) != problems.end();
    };
    EXPECT_TRUE(found("sub-01_task-search_run-1_recording-eye1_physio.json: pupil_size's Description does not say "
                      "area or diameter"));
    EXPECT_TRUE(found("sub-01_task-search_run-1_recording-eye3_physio.tsv.gz line 1: timestamp \"timestamp\" is not "
                      "a number (a header line?)"));
    EXPECT_TRUE(found("sub-01_task-search_run-1_events.json: StimulusPresentation.ScreenSize"));
    EXPECT_TRUE(found("sub-01_task-search_run-1_recording-eye2_physioevents.json: OnsetSource \"time\" is no column "
                      "of the physio table"));
    EXPECT_TRUE(found("sub-01_task-search_run-1_recording-eye2_physio.tsv.gz line 2: time stamp off the sampling grid"));
    EXPECT_TRUE(found("sub-01_task-search_run-1_recording-eye1_physioevents.tsv.gz: not UTF-8"));
    EXPECT_EQ(8u, problems.size()) << ::testing::PrintToString(problems);  // the screen once per recording
}

TEST_F(BidsExportTest, BadAndRealWorldInput) {
    const BidsExportOptions options = optionsFor(scratch_.path());
    std::string error;
    EXPECT_FALSE(exportText(kRecordingHeader, options, error));
    EXPECT_EQ("no sample lines: nothing to export", error);
    // Files and folders begun are removed.
    EXPECT_TRUE(std::filesystem::is_empty(scratch_.path()));
    EXPECT_FALSE(exportText(std::string(kRecordingHeader) + sampleLine(made(0)), options, error));
    EXPECT_EQ("fewer than two samples with rising time stamps: no sampling frequency", error);

    // Cut off in the middle of a line: the whole lines are exported, with a warning.
    const auto cutOff = exportText(madeRecording() + "2006000;6;96", options, error);
    ASSERT_TRUE(cutOff) << error;
    EXPECT_EQ(std::vector<std::string>{"the file ends in the middle of a line: its last 12 bytes were left out"},
              cutOff->warnings);
    const std::string cut = gunzip(at("recording-eye3_physio.tsv.gz"));
    EXPECT_EQ(6, std::count(cut.begin(), cut.end(), '\n'));

    // CR LF line ends give the same files as LF ones.
    std::string crlf;
    for (char c : madeRecording()) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    const std::string lfEvents = readFile(at("events.tsv"));
    BidsExportOptions again = options;
    again.overwrite = true;
    ASSERT_TRUE(exportText(crlf, again, error)) << error;
    EXPECT_EQ(cut, gunzip(at("recording-eye3_physio.tsv.gz")));
    EXPECT_EQ(lfEvents, readFile(at("events.tsv")));
    EXPECT_EQ(std::vector<std::string>{}, testing::checkBidsEyetracking(scratch_.path()));

    // A folder that cannot be made.
    BidsExportOptions blocked = options;
    blocked.root = scratch_.path() / "README" / "x";
    EXPECT_FALSE(exportText(madeRecording(), blocked, error));
    EXPECT_EQ(0u, error.find("cannot create " + (blocked.root / "sub-01" / "beh").string() + ": "));
}

TEST_F(BidsExportTest, NeverOverItsInputNorAFileOfAnotherKind) {
    const BidsExportOptions options = optionsFor(scratch_.path());
    const auto refusal = [&](const std::filesystem::path& input, bool overwrite = false) {
        BidsExportOptions withInput = options;
        withInput.inputs = {input};
        withInput.overwrite = overwrite;
        std::istringstream text(readFile(input));
        BidsExportFailure failure;
        EXPECT_FALSE(exportToBids(text, withInput, failure)) << input;
        EXPECT_TRUE(failure.refused) << failure.message;
        return failure.message;
    };
    std::filesystem::create_directories(beh());
    // The input where the events table goes, and where a sidecar goes: both
    // refused, both kept as they were.
    const std::filesystem::path asEvents = at("events.tsv");
    std::ofstream(asEvents, std::ios::binary) << madeRecording();
    EXPECT_EQ("will not write over " + asEvents.string() + ": it is the input", refusal(asEvents, true));
    EXPECT_EQ(madeRecording(), readFile(asEvents));
    std::filesystem::rename(asEvents, at("recording-eye2_physio.json"));
    EXPECT_EQ("will not write over " + at("recording-eye2_physio.json").string() + ": it is the input",
              refusal(at("recording-eye2_physio.json"), true));
    EXPECT_EQ(madeRecording(), readFile(at("recording-eye2_physio.json")));

    // A file of another kind under an export's name, even with --overwrite.
    const std::filesystem::path input = scratch_.path() / "rec.csv";
    std::ofstream(input, std::ios::binary) << madeRecording();
    std::filesystem::remove(at("recording-eye2_physio.json"));
    std::ofstream(at("events.tsv"), std::ios::binary) << "onset\tduration\n1\t2\n";
    EXPECT_EQ("will not write over " + at("events.tsv").string() +
                  ": it exists and is not an events table written by recording-to-bids",
              refusal(input, true));
    std::ofstream(at("recording-eye1_physio.tsv.gz"), std::ios::binary) << "plain text, not gzip\n";
    EXPECT_EQ("will not write over " + at("recording-eye1_physio.tsv.gz").string() +
                  ": it exists and is not a physio table written by recording-to-bids",
              refusal(input, true));
    EXPECT_EQ("onset\tduration\n1\t2\n", readFile(at("events.tsv")));
    std::filesystem::remove(at("recording-eye1_physio.tsv.gz"));
    std::filesystem::remove(at("events.tsv"));

    // An earlier export of the same run: replaced only when asked.
    std::string error;
    BidsExportOptions first = options;
    first.inputs = {input};
    ASSERT_TRUE(exportText(madeRecording(), first, error)) << error;
    EXPECT_EQ("will not write over " + at("recording-eye1_physio.tsv.gz").string() +
                  ": an export of this run is there already (--overwrite replaces it)",
              refusal(input));
    const std::string shorter = std::string(kRecordingHeader) + sampleLine(made(0)) + sampleLine(made(1));
    first.overwrite = true;
    ASSERT_TRUE(exportText(shorter, first, error)) << error;
    EXPECT_EQ("2000000\t960\t540\n2001000\t961\t539\n", gunzip(at("recording-eye3_physio.tsv.gz")));
    EXPECT_EQ(std::string(kEventsHeader), readFile(at("events.tsv")));
    EXPECT_EQ(std::vector<std::string>{}, testing::checkBidsEyetracking(scratch_.path()));

    // What the export's files begin with is what the check takes for its own.
    for (const BidsTarget& target : bidsTargets(scratch_.path(), options.entities)) {
        std::ifstream file(target.path, std::ios::binary);
        std::string head(4096, '\0');
        file.read(head.data(), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<std::size_t>(file.gcount()));
        EXPECT_TRUE(isOwnBidsFile(target.file, head)) << target.path;
        EXPECT_FALSE(isOwnBidsFile(target.file, madeRecording())) << target.path;
    }
}

TEST_F(BidsExportTest, TimeThatRunsBackwardsIsRefusedAndSaid) {
    const BidsExportOptions options = optionsFor(scratch_.path());
    std::string error;
    // An index that starts over at line 6: nothing is written.
    std::string restarted = std::string(kRecordingHeader) + "trigger: 1\n";
    for (std::int32_t i : {0, 1, 2}) restarted += sampleLine(made(i));
    MadeSample again = made(0);
    again.timeMicros = 9'000'000;
    restarted += sampleLine(again);
    EXPECT_FALSE(exportText(restarted, options, error));
    EXPECT_EQ("the time stamps fall or the index restarts at line 7: the recording holds more than one run of time, "
              "and a BIDS physio table has one start and one sampling rate; split the file before that line and "
              "export each part as a run of its own",
              error);
    EXPECT_TRUE(std::filesystem::is_empty(scratch_.path()));

    // Equal time stamps and unreadable lines: exported, with warnings.
    std::string odd = std::string(kRecordingHeader);
    for (std::int32_t i : {0, 1, 2, 3}) {
        MadeSample s = made(i);
        if (i == 2) s.timeMicros = made(1).timeMicros;
        odd += sampleLine(s);
        if (i == 0) odd += "noise\n";
    }
    const auto result = exportText(odd, options, error);
    ASSERT_TRUE(result) << error;
    EXPECT_EQ((std::vector<std::string>{
                  "1 line could not be read and was left out: line 4",
                  "1 sample line has the time stamp of the line before (an interval of zero): line 6"}),
              result->warnings);

    // An index that jumps further than its time stamps allow is not filled in.
    std::string jump = std::string(kRecordingHeader) + sampleLine(made(0));
    MadeSample far = made(1);
    far.index = 1'000'000;
    jump += sampleLine(far);
    BidsExportOptions other = options;
    other.entities.run = "2";
    EXPECT_FALSE(exportText(jump, other, error));
    EXPECT_EQ("the index jumps by 1000000 at line 4 while the time stamps move by 1000 us: the gap cannot be "
              "placed on the sampling grid",
              error);
}

TEST(BidsCells, Utf8QuotesAndTabs) {
    EXPECT_EQ("n/a", tsvCell(""));
    EXPECT_EQ("plain text", tsvCell("plain text"));
    EXPECT_EQ("\"a\tb\"", tsvCell("a\tb"));
    // A lone quote would make a CSV reader take the rest of the file for one cell.
    EXPECT_EQ("\"\"\"start of a quote\"", tsvCell("\"start of a quote"));
    EXPECT_EQ("\"say \"\"hi\"\"\tnow\"", tsvCell("say \"hi\"\tnow"));
    EXPECT_EQ("a b", tsvCell("a\rb"));
    // Bytes that are not UTF-8 become U+FFFD, as in the report's JSON.
    EXPECT_EQ("caf\xC3\xA9 \xEF\xBF\xBD\xEF\xBF\xBD end", tsvCell("caf\xC3\xA9 \xFF\xFE end"));
    EXPECT_EQ("\xEF\xBF\xBD", tsvCell("\xC3"));  // a sequence cut short
    EXPECT_EQ("\xE6\x97\xA5\xE6\x9C\xAC", tsvCell("\xE6\x97\xA5\xE6\x9C\xAC"));
}

TEST(BidsNames, LabelsFoldersAndStems) {
    EXPECT_EQ("", labelProblem("--subject", "01"));
    EXPECT_EQ("", labelProblem("--task", "visualSearch2"));
    EXPECT_EQ("--subject: a label is letters and digits only, for example 01", labelProblem("--subject", "01_a"));
    EXPECT_EQ("--task: a label is letters and digits only, for example 01", labelProblem("--task", ""));
    EXPECT_EQ("--session: a label is letters and digits only, for example 01",
              labelProblem("--session", "caf\xC3\xA9"));
    EXPECT_EQ("", runProblem("12"));
    EXPECT_EQ("--run: expects a number, for example 1", runProblem("1a"));
    const BidsEntities all{"7", "rest", "pre", "2"};
    EXPECT_EQ("sub-7_ses-pre_task-rest_run-2", bidsStem(all));
    EXPECT_EQ(std::filesystem::path("d/sub-7/ses-pre/beh"), bidsFolder("d", all));
    EXPECT_EQ("sub-7_task-rest", bidsStem({"7", "rest", std::nullopt, std::nullopt}));
    EXPECT_EQ("n/a", tsvCell(""));
}

}  // namespace
}  // namespace tyvarion::tools
