// recording-to-bids and recording-report as programs: what they print, their
// exit status, and their refusals of bad options and files.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "harness/child_process.h"
#include "recording_maker.h"
#include "test_environment.h"

namespace tyvarion::testing {
namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string output;  // standard output and error
};

ProgramRun run(const std::string& program, const std::vector<std::string>& arguments) {
    ProgramRun result;
    std::string error;
    auto child = sim::ChildProcess::start(program, arguments, error);
    if (!child) {
        result.output = error;
        return result;
    }
    child->closeInput();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!child->read(result.output, std::chrono::milliseconds(100)) && child->poll()) break;
    }
    while (child->read(result.output, std::chrono::milliseconds(0))) {
    }
    result.exitCode = child->wait(std::chrono::seconds(5));
    return result;
}

class RecordingToolsProgram : public ::testing::Test {
protected:
    void SetUp() override {
        std::string text = kRecordingHeader;
        text += "trigger: 1\n";
        for (std::int32_t i = 0; i < 10; ++i) {
            MadeSample s;
            s.timeMicros = 1000 + i * 2000;
            s.index = i;
            s.gaze = s.left = s.right = tools::GazePoint{960, 540};
            s.pupilLeftMm = s.pupilRightMm = 4;
            text += sampleLine(s);
        }
        std::ofstream(recording_, std::ios::binary) << text;
        std::ofstream(headerOnly_, std::ios::binary) << kRecordingHeader;
    }

    ScratchFolder scratch_{"tyvarion-tools"};
    const std::string recording_ = (scratch_.path() / "tyvarion_NBS_made.csv").string();
    const std::string headerOnly_ = (scratch_.path() / "tyvarion_NBS_empty.csv").string();
    const std::string out_ = (scratch_.path() / "bids").string();
    const std::vector<std::string> geometry_{"--screen-mm", "531x299", "--distance-mm", "650"};
};

TEST_F(RecordingToolsProgram, ExportAndItsRefusals) {
    std::vector<std::string> arguments{recording_, "--out", out_, "--subject", "01", "--task", "x"};
    arguments.insert(arguments.end(), geometry_.begin(), geometry_.end());
    std::vector<std::string> credited = arguments;
    credited.insert(credited.end(), {"--author", "A. Researcher", "--author", "B. Researcher", "--license", "CC0-1.0"});
    const ProgramRun exported = run(RECORDING_TO_BIDS_PATH, credited);
    EXPECT_EQ(0, exported.exitCode) << exported.output;
    EXPECT_EQ("recording-to-bids: 10 samples at 500 Hz, 1 trigger, 0 messages -> " + out_ + "/sub-01/beh\n",
              exported.output);
    std::ifstream described(out_ + "/dataset_description.json");
    const auto description = nlohmann::json::parse(described);
    EXPECT_EQ((nlohmann::json{"A. Researcher", "B. Researcher"}), description["Authors"]);
    EXPECT_EQ("CC0-1.0", description["License"]);

    // Without them, a new description says what it lacks.
    arguments[2] = out_ + "2";
    const ProgramRun uncredited = run(RECORDING_TO_BIDS_PATH, arguments);
    EXPECT_EQ(0u, uncredited.output.find("recording-to-bids: note: the new dataset_description.json names no authors "
                                         "and no licence (--author, --license; BIDS recommends both)\n"))
        << uncredited.output;

    const auto refusal = [&](std::vector<std::string> args, const std::string& first, int code) {
        const ProgramRun refused = run(RECORDING_TO_BIDS_PATH, args);
        EXPECT_EQ(code, refused.exitCode) << refused.output;
        EXPECT_EQ(first, refused.output.substr(0, refused.output.find('\n'))) << refused.output;
    };
    refusal({}, "recording-to-bids: no recording given", 2);
    refusal({recording_, "--subject", "01", "--task", "x"}, "recording-to-bids: --out: the data set's folder is required", 2);
    refusal({recording_, "--out", out_, "--task", "x"}, "recording-to-bids: --subject is required", 2);
    refusal({recording_, "--out", out_, "--subject", "01", "--task", "x"},
            "recording-to-bids: --screen-mm and --distance-mm are required: BIDS requires the screen's size and "
            "distance for gaze on a screen", 2);
    refusal({recording_, "--subject", "0-1"}, "recording-to-bids: --subject: a label is letters and digits only, for example 01", 2);
    refusal({recording_, "--run", "one"}, "recording-to-bids: --run: expects a number, for example 1", 2);
    refusal({recording_, "--distance-mm", "far"}, "recording-to-bids: --distance-mm: expects a distance in millimetres, for example 650", 2);
    refusal({recording_, "--colour", "red"}, "recording-to-bids: unknown option --colour", 2);
    refusal({recording_, "--out"}, "recording-to-bids: --out: missing value", 2);

    std::vector<std::string> missing{recording_ + ".not", "--out", out_, "--subject", "01", "--task", "x"};
    missing.insert(missing.end(), geometry_.begin(), geometry_.end());
    refusal(missing, "recording-to-bids: cannot open " + recording_ + ".not", 1);
    std::vector<std::string> empty{headerOnly_, "--out", out_, "--subject", "02", "--task", "x"};
    empty.insert(empty.end(), geometry_.begin(), geometry_.end());
    refusal(empty, "recording-to-bids: " + headerOnly_ + ": no sample lines: nothing to export", 1);
    EXPECT_FALSE(std::filesystem::exists(out_ + "/sub-02/beh/sub-02_task-x_events.tsv"));
}

TEST_F(RecordingToolsProgram, ExportNeverWritesOverItsInputOrAnEarlierExport) {
    const auto exportTo = [&](const std::string& input, std::vector<std::string> more = {}) {
        std::vector<std::string> arguments{input, "--out", out_, "--subject", "01", "--task", "t"};
        arguments.insert(arguments.end(), geometry_.begin(), geometry_.end());
        arguments.insert(arguments.end(), more.begin(), more.end());
        return run(RECORDING_TO_BIDS_PATH, arguments);
    };
    const std::string beh = out_ + "/sub-01/beh/";
    std::filesystem::create_directories(beh);
    std::ifstream original(recording_, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(original)), {});

    // The input where the events table goes: refused with 2, and still whole.
    const std::string asEvents = beh + "sub-01_task-t_events.tsv";
    std::filesystem::copy_file(recording_, asEvents);
    const ProgramRun onInput = exportTo(asEvents);
    EXPECT_EQ(2, onInput.exitCode);
    EXPECT_EQ("recording-to-bids: will not write over " + asEvents + ": it is the input\n", onInput.output);
    std::ifstream kept(asEvents, std::ios::binary);
    EXPECT_EQ(bytes, std::string((std::istreambuf_iterator<char>(kept)), {}));
    std::filesystem::remove(asEvents);

    // A first export, then the same run again: refused unless --overwrite.
    EXPECT_EQ(0, exportTo(recording_).exitCode);
    const ProgramRun again = exportTo(recording_);
    EXPECT_EQ(2, again.exitCode);
    EXPECT_EQ("recording-to-bids: will not write over " + beh +
                  "sub-01_task-t_recording-eye1_physio.tsv.gz: an export of this run is there already (--overwrite "
                  "replaces it)\n",
              again.output);
    const ProgramRun replaced = exportTo(recording_, {"--overwrite"});
    EXPECT_EQ(0, replaced.exitCode) << replaced.output;

    // What the reading left out is said, and the export still made.
    const std::string cut = (scratch_.path() / "cut.csv").string();
    std::ofstream(cut, std::ios::binary) << bytes << "noise\n21000;10;96";
    const ProgramRun warned = exportTo(cut, {"--overwrite"});
    EXPECT_EQ(0, warned.exitCode);
    EXPECT_NE(std::string::npos,
              warned.output.find("recording-to-bids: warning: " + cut +
                                 ": the file ends in the middle of a line: its last 11 bytes were left out\n"))
        << warned.output;
    EXPECT_NE(std::string::npos,
              warned.output.find("recording-to-bids: warning: " + cut +
                                 ": 1 line could not be read and was left out: line 14\n"))
        << warned.output;

    // A failed export leaves no folder behind.
    std::vector<std::string> empty{headerOnly_, "--out", out_, "--subject", "02", "--task", "x"};
    empty.insert(empty.end(), geometry_.begin(), geometry_.end());
    EXPECT_EQ(1, run(RECORDING_TO_BIDS_PATH, empty).exitCode);
    EXPECT_FALSE(std::filesystem::exists(out_ + "/sub-02"));
}

TEST_F(RecordingToolsProgram, ReportSaysWhatIsOdd) {
    const ProgramRun empty = run(RECORDING_REPORT_PATH, {headerOnly_});
    EXPECT_EQ(0, empty.exitCode);
    EXPECT_EQ(0u, empty.output.find("recording-report: warning: " + headerOnly_ +
                                    ": the recording holds no sample line: there are no figures\n"))
        << empty.output;
}

TEST_F(RecordingToolsProgram, ReportWithJson) {
    const std::string json = (scratch_.path() / "report.json").string();
    const ProgramRun report = run(RECORDING_REPORT_PATH, {recording_, "--json", json});
    EXPECT_EQ(0, report.exitCode) << report.output;
    EXPECT_EQ(0u, report.output.find("recording tyvarion_NBS_made.csv\n  duration                0.018 s\n"))
        << report.output;
    std::ifstream input(json);
    const auto document = nlohmann::json::parse(input);
    EXPECT_EQ(10, document["sample_lines"]);
    EXPECT_EQ(1, document["triggers"]);
}

}  // namespace
}  // namespace tyvarion::testing
