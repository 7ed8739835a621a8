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
    EXPECT_EQ(6u, problems.size()) << ::testing::PrintToString(problems);  // the screen once per recording
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
