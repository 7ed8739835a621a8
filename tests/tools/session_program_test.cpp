// The host-session and plot-recording programs on a short session against the
// simulated server: the summary agrees with the recording file, the picture
// parses and holds its parts, a missing server gives a clear refusal and a
// non-zero exit.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "harness/child_process.h"
#include "harness/server_process.h"
#include "recording-reader/recording_reader.h"
#include "test_environment.h"
#include "xml_check.h"

namespace tyvarion::testing {
namespace {

constexpr std::chrono::seconds kPatience{120};

struct ProgramRun {
    int exitCode = -1;
    std::string output;  // standard output and error
};

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& arguments) {
    ProgramRun run;
    std::string error;
    auto child = sim::ChildProcess::start(program, arguments, error);
    if (!child) {
        run.output = error;
        return run;
    }
    child->closeInput();
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!child->read(run.output, std::chrono::milliseconds(100)) && child->poll()) break;
    }
    while (child->read(run.output, std::chrono::milliseconds(0))) {
    }
    run.exitCode = child->wait(std::chrono::seconds(5));
    return run;
}

// The value after a summary label, "  trigger lines   2" -> "2"; nullopt if absent.
std::optional<std::string> summaryValue(const std::string& output, const std::string& label) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t start = line.find_first_not_of(' ');
        if (start == std::string::npos || line.compare(start, label.size(), label) != 0) continue;
        const std::size_t value = line.find_first_not_of(' ', start + label.size());
        if (value == std::string::npos || value == start + label.size()) continue;
        return line.substr(value);
    }
    return std::nullopt;
}

std::uint64_t summaryNumber(const std::string& output, const std::string& label) {
    const auto value = summaryValue(output, label);
    EXPECT_TRUE(value) << "no \"" << label << "\" in\n" << output;
    return value ? std::stoull(*value) : 0;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream input(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(input), {});
}

class SessionProgram : public ::testing::Test {
protected:
    void SetUp() override { setEnvironment("XDG_DOCUMENTS_DIR", documents_.path().string()); }

    ScratchFolder documents_{"tyvarion-documents"};
};

TEST_F(SessionProgram, SummaryAgreesWithTheRecordingAndThePictureParses) {
    sim::ServerProcess server({"--rate", "500", "--seed", "7"});
    ASSERT_TRUE(server.running()) << server.output();
    server.useForClients();

    const std::filesystem::path pathFile = documents_.path() / "recording-path.txt";
    const ProgramRun session = runProgram(
        HOST_SESSION_PATH, {"--trials", "2", "--trial-ms", "300", "--recording-path-file", pathFile.string()});
    ASSERT_EQ(session.exitCode, 0) << session.output;
    const std::string& out = session.output;
    EXPECT_NE(out.find("SetRecording(true)                           S_OK\n"), std::string::npos) << out;
    EXPECT_EQ(summaryValue(out, "trials"), "2 of 2 (300 ms each, host polling at 60 Hz)");
    EXPECT_EQ(summaryNumber(out, "triggers sent"), 2u);
    EXPECT_EQ(summaryNumber(out, "messages sent"), 2u);

    // The file the summary names is the one the plug-in wrote.
    const auto shownPath = summaryValue(out, "recording file");
    ASSERT_TRUE(shownPath) << out;
    const std::filesystem::path path = std::filesystem::u8path(*shownPath);
    EXPECT_EQ(path.parent_path(), documents_.path() / "Tyvarion" / "NBS Presentation");
    EXPECT_EQ(readFile(pathFile), *shownPath + "\n");
    std::string error;
    const auto recording = tools::readRecording(path, error);
    ASSERT_TRUE(recording) << error;
    EXPECT_TRUE(recording->hasSeparatorLine);
    EXPECT_TRUE(recording->hasColumnHeader);
    EXPECT_GT(recording->samples.size(), 0u);
    EXPECT_EQ(summaryNumber(out, "sample lines"), recording->samples.size());
    EXPECT_EQ(summaryNumber(out, "trigger lines"), recording->triggers);
    EXPECT_EQ(summaryNumber(out, "message lines"), recording->messages);
    EXPECT_EQ(summaryNumber(out, "samples missing"), static_cast<std::uint64_t>(tools::missingSamples(recording->samples)));
    EXPECT_EQ(tools::missingSamples(recording->samples), 0);
    std::vector<std::string> texts;
    for (const auto& line : recording->texts) texts.push_back(line.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"trigger: 1", "message: trial 1 start", "trigger: 2",
                                               "message: trial 2 start"}));

    // Every sample line with a value reached the host as events.
    std::uint64_t withValue = 0;
    for (const auto& sample : recording->samples)
        if (sample.gaze || sample.left || sample.right || sample.pupilLeftMm || sample.pupilRightMm) ++withValue;
    EXPECT_EQ(summaryValue(out, "received by the host"),
              std::to_string(withValue) + " of " + std::to_string(withValue) + " lines with a value");
    // Six events per sample that has every value; the host received them all.
    EXPECT_GE(summaryNumber(out, "samples received"), withValue);
    EXPECT_EQ(summaryNumber(out, "position, both eyes"), summaryNumber(out, "pupil, both eyes"));
    EXPECT_TRUE(summaryValue(out, "median")) << out;
    EXPECT_TRUE(summaryValue(out, "99th percentile")) << out;

    // The picture of that recording.
    const std::filesystem::path svgPath = documents_.path() / "picture.svg";
    const ProgramRun plot = runProgram(PLOT_RECORDING_PATH, {path.string(), "-o", svgPath.string()});
    ASSERT_EQ(plot.exitCode, 0) << plot.output;
    EXPECT_EQ(plot.output, "plot-recording: " + std::to_string(recording->samples.size()) +
                               " samples, 2 triggers, 2 messages -> " + svgPath.string() + "\n");
    const auto parsed = parseXml(readFile(svgPath));
    ASSERT_TRUE(parsed.root) << parsed.error;
    EXPECT_EQ(parsed.root->name, "svg");
    for (const char* id : {"screen", "gaze-left", "gaze-right", "dwells", "gaze-x", "gaze-y", "pupil-left",
                           "pupil-right"})
        EXPECT_NE(parsed.root->findById(id), nullptr) << id;
    EXPECT_EQ(parsed.root->findById("triggers")->childrenNamed("path").size(), 2u);
    EXPECT_EQ(parsed.root->findById("messages")->childrenNamed("path").size(), 2u);
}

TEST_F(SessionProgram, OneOfEachIsSingular) {
    sim::ServerProcess server({"--samples", "1"});
    ASSERT_TRUE(server.running()) << server.output();
    server.useForClients();
    const std::filesystem::path pathFile = documents_.path() / "recording-path.txt";
    const ProgramRun session = runProgram(
        HOST_SESSION_PATH, {"--trials", "1", "--trial-ms", "300", "--recording-path-file", pathFile.string()});
    ASSERT_EQ(session.exitCode, 0) << session.output;
    EXPECT_NE(session.output.find("host-session: 1 trial of 300 ms"), std::string::npos) << session.output;
    EXPECT_NE(session.output.find("(clock: GetTime), 1 sample\n"), std::string::npos) << session.output;
    server.stop();
    EXPECT_NE(server.output().find(" closed: sent 1 sample\n"), std::string::npos) << server.output();
    EXPECT_NE(server.output().find("\nsent 1 sample\n"), std::string::npos) << server.output();
    EXPECT_EQ(server.samplesSent(), 1u);

    // The one sample arrived before recording started: the file holds the trigger and the message.
    std::string recording = readFile(pathFile);
    ASSERT_FALSE(recording.empty());
    recording.pop_back();
    const ProgramRun plot = runProgram(PLOT_RECORDING_PATH, {recording, "-o", (documents_.path() / "one.svg").string()});
    ASSERT_EQ(plot.exitCode, 0) << plot.output;
    EXPECT_NE(plot.output.find(", 1 trigger, 1 message -> "), std::string::npos) << plot.output;
}

TEST_F(SessionProgram, MissingServerIsAClearRefusal) {
    // A port where nothing listens: a server that has come and gone.
    std::string endpoint;
    {
        sim::ServerProcess gone;
        ASSERT_TRUE(gone.running()) << gone.output();
        endpoint = gone.endpoint();
    }
    sim::setClientEndpoint(endpoint);

    const ProgramRun session = runProgram(HOST_SESSION_PATH, {"--trials", "1", "--trial-ms", "100"});
    EXPECT_EQ(session.exitCode, 1) << session.output;
    const std::string& out = session.output;
    EXPECT_NE(out.find("StartData(ET2_DT_POSITION, ET2_ET_DEFAULT)   S_FALSE  \"not connected to Tyvarion server\"\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("host-session: the plug-in refused StartData(ET2_DT_POSITION, ET2_ET_DEFAULT) with "
                       "S_FALSE: \"not connected to Tyvarion server\".\nIt is not connected to the eye-tracking "
                       "server (GetStatus 0x40)"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("(it is \"" + endpoint + "\")."), std::string::npos) << out;
    EXPECT_EQ(out.find("SetTracking"), std::string::npos) << out;
    EXPECT_EQ(out.find("summary"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(documents_.path() / "Tyvarion"));
}

TEST_F(SessionProgram, ServerRefusingToTrack) {
    sim::ServerProcess server({"--start-result", "2"});
    ASSERT_TRUE(server.running()) << server.output();
    server.useForClients();
    const ProgramRun session = runProgram(HOST_SESSION_PATH, {"--trials", "1", "--trial-ms", "100"});
    EXPECT_EQ(session.exitCode, 1) << session.output;
    EXPECT_NE(session.output.find("SetTracking(true)                            S_FALSE  \"no eye tracking device "
                                  "connected\"\n"
                                  "GetLastError                                 S_OK     \"no eye tracking device "
                                  "connected\"\n"
                                  "GetStatus -> S_OK, status 0x10\n"),
              std::string::npos)
        << session.output;
    EXPECT_NE(session.output.find("host-session: the plug-in refused SetTracking(true) with S_FALSE: \"no eye "
                                  "tracking device connected\".\n"),
              std::string::npos)
        << session.output;
}

TEST_F(SessionProgram, ConnectionLostDuringTheSession) {
    sim::ServerProcess server({"--drop-after-ms", "150"});
    ASSERT_TRUE(server.running()) << server.output();
    server.useForClients();
    const ProgramRun session = runProgram(HOST_SESSION_PATH, {"--trials", "3", "--trial-ms", "300"});
    EXPECT_EQ(session.exitCode, 1) << session.output;
    EXPECT_NE(session.output.find("host-session: the connection to the eye-tracking server was lost during trial "),
              std::string::npos)
        << session.output;
    // Switching recording off is refused now; the file is closed when the object goes.
    EXPECT_NE(session.output.find("SetRecording(false)                          S_FALSE  \"not connected to "
                                  "Tyvarion server\"\n"),
              std::string::npos)
        << session.output;
    const auto shownPath = summaryValue(session.output, "recording file");
    ASSERT_TRUE(shownPath) << session.output;
    // ... and the session says so, and where it is.
    EXPECT_NE(session.output.find("releasing the tracker object\nSetRecording(false) was refused, since the "
                                  "connection was lost; the plug-in closed the recording file when the tracker "
                                  "object was released: " + *shownPath + "\nsummary\n"),
              std::string::npos)
        << session.output;
    std::string error;
    const auto recording = tools::readRecording(std::filesystem::u8path(*shownPath), error);
    ASSERT_TRUE(recording) << error;
    EXPECT_EQ(summaryNumber(session.output, "sample lines"), recording->samples.size());
}

TEST_F(SessionProgram, AStreamThatStopsWhileConnectedIsFlagged) {
    // 100 samples at 500 Hz, then nothing, the connection still up.
    sim::ServerProcess server({"--samples", "100"});
    ASSERT_TRUE(server.running()) << server.output();
    server.useForClients();
    const ProgramRun session = runProgram(HOST_SESSION_PATH, {"--trials", "1", "--trial-ms", "1600"});
    ASSERT_EQ(session.exitCode, 0) << session.output;
    const std::string& out = session.output;
    const std::size_t live = out.find("trial 1/1: no sample for over 1 s while connected (status 0x0F), since ");
    ASSERT_NE(live, std::string::npos) << out;
    const auto stalled = summaryValue(out, "stream stalled");
    ASSERT_TRUE(stalled) << out;
    EXPECT_EQ(stalled->rfind("trial 1: no sample for 1.", 0), 0u) << *stalled;
    EXPECT_NE(stalled->find(" s, while connected"), std::string::npos) << *stalled;
}

TEST_F(SessionProgram, ParallelSessionsEachNameTheirOwnFile) {
    // Two hosts, each with its own server, recording into one Documents folder
    // at the same time, most often within the same second ("-2").
    sim::ServerProcess serverA({"--seed", "1"});
    sim::ServerProcess serverB({"--seed", "2"});
    ASSERT_TRUE(serverA.running() && serverB.running()) << serverA.output() << serverB.output();
    const std::vector<std::string> arguments{"--trials", "2", "--trial-ms", "400"};
    std::string error;
    serverA.useForClients();
    auto sessionA = sim::ChildProcess::start(HOST_SESSION_PATH, arguments, error);
    ASSERT_TRUE(sessionA) << error;
    serverB.useForClients();
    auto sessionB = sim::ChildProcess::start(HOST_SESSION_PATH, arguments, error);
    ASSERT_TRUE(sessionB) << error;
    sessionA->closeInput();
    sessionB->closeInput();
    std::string outA, outB;
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    bool doneA = false, doneB = false;
    while ((!doneA || !doneB) && std::chrono::steady_clock::now() < deadline) {
        if (!doneA && !sessionA->read(outA, std::chrono::milliseconds(50))) doneA = sessionA->poll().has_value();
        if (!doneB && !sessionB->read(outB, std::chrono::milliseconds(50))) doneB = sessionB->poll().has_value();
    }
    while (sessionA->read(outA, std::chrono::milliseconds(0))) {
    }
    while (sessionB->read(outB, std::chrono::milliseconds(0))) {
    }
    ASSERT_EQ(sessionA->wait(std::chrono::seconds(5)), 0) << outA;
    ASSERT_EQ(sessionB->wait(std::chrono::seconds(5)), 0) << outB;

    const auto pathA = summaryValue(outA, "recording file");
    const auto pathB = summaryValue(outB, "recording file");
    ASSERT_TRUE(pathA && pathB) << outA << outB;
    EXPECT_NE(*pathA, *pathB);
    for (const std::string* out : {&outA, &outB}) {
        EXPECT_EQ(summaryValue(*out, "note"), std::nullopt) << *out;
        const auto received = summaryValue(*out, "received by the host");
        ASSERT_TRUE(received) << *out;
        const std::string withValue = received->substr(received->find(" of ") + 4);
        EXPECT_EQ(*received, withValue.substr(0, withValue.find(' ')) + " of " + withValue) << *out;
        EXPECT_NE(received->substr(0, 2), "0 ") << *out;
    }
}

TEST_F(SessionProgram, CommandLineErrors) {
    const ProgramRun bad = runProgram(HOST_SESSION_PATH, {"--trials", "zero"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.output, "host-session: --trials: expects 1 to 1000\nsee --help\n");
    const ProgramRun noFile = runProgram(PLOT_RECORDING_PATH, {(documents_.path() / "none.csv").string()});
    EXPECT_EQ(noFile.exitCode, 1);
    EXPECT_EQ(noFile.output, "plot-recording: cannot open " + (documents_.path() / "none.csv").string() + "\n");
    const ProgramRun unknown = runProgram(PLOT_RECORDING_PATH, {"rec.csv", "--bogus"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(unknown.output, "plot-recording: unknown option --bogus\nsee --help\n");
    const ProgramRun unknownHost = runProgram(HOST_SESSION_PATH, {"--bogus"});
    EXPECT_EQ(unknownHost.exitCode, 2);
    EXPECT_EQ(unknownHost.output, "host-session: unknown option --bogus\nsee --help\n");
}

constexpr const char* kShortRecording =
    "Sep=;\n"
    "timestamp [us];\tindex;\tPOR X [px];\tPOR Y [px];\tPOR Left X [px];\tPOR Left Y [px];"
    "\tPupil Diam Left [mm];\tPOR Right X [px];\tPOR Right Y [px];\tPupil Diam Right [mm]\n"
    "1000;0;960;540;958;541;4.5;962;539;4.6;\n"
    "trigger: 1\n"
    "3000;1;961;540;959;541;4.5;963;539;4.6;\n";

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST_F(SessionProgram, PlotRecordingNeverWritesOverARecording) {
    const std::filesystem::path& folder = documents_.path();
    const std::filesystem::path recording = folder / "same.csv";
    writeFile(recording, kShortRecording);
    const std::string refusal = "plot-recording: will not write over ";

    // The output is the input, named as such or by default (a recording named .svg).
    const ProgramRun same = runProgram(PLOT_RECORDING_PATH, {recording.string(), "-o", recording.string()});
    EXPECT_EQ(same.exitCode, 2);
    EXPECT_EQ(same.output, refusal + recording.string() + ": it is the input\n");
    const std::filesystem::path namedSvg = folder / "rec.svg";
    writeFile(namedSvg, kShortRecording);
    const ProgramRun byDefault = runProgram(PLOT_RECORDING_PATH, {namedSvg.string()});
    EXPECT_EQ(byDefault.exitCode, 2);
    EXPECT_EQ(byDefault.output, refusal + namedSvg.string() + ": it is the input\n");
    EXPECT_EQ(readFile(namedSvg), kShortRecording);

    // Another recording, or any file it did not write, where the picture would go.
    const std::filesystem::path other = folder / "other.csv";
    writeFile(other, kShortRecording);
    const ProgramRun onOther = runProgram(PLOT_RECORDING_PATH, {recording.string(), "-o", other.string()});
    EXPECT_EQ(onOther.exitCode, 2);
    EXPECT_EQ(onOther.output, refusal + other.string() + ": it exists and is not a picture written by plot-recording\n");
    EXPECT_EQ(readFile(other), kShortRecording);
    EXPECT_EQ(readFile(recording), kShortRecording);

    // Its own picture is replaced; nothing else is left beside it.
    const std::filesystem::path picture = folder / "same.svg";
    const ProgramRun first = runProgram(PLOT_RECORDING_PATH, {recording.string()});
    ASSERT_EQ(first.exitCode, 0) << first.output;
    EXPECT_EQ(first.output, "plot-recording: 2 samples, 1 trigger, 0 messages -> " + picture.string() + "\n");
    const ProgramRun again = runProgram(PLOT_RECORDING_PATH, {recording.string(), "-o", picture.string()});
    ASSERT_EQ(again.exitCode, 0) << again.output;
    EXPECT_EQ(readFile(picture).find("<!-- picture of a recording, written by plot-recording -->"), 39u);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"other.csv", "rec.svg", "same.csv", "same.svg"}));
}

// The picture as a viewer draws it: rsvg-convert (librsvg, scripts/bootstrap
// installs it) must render it to a PNG of the picture's size.
TEST_F(SessionProgram, PictureRendersToPng) {
    const std::filesystem::path& folder = documents_.path();
    writeFile(folder / "short.csv", std::string(kShortRecording) + "message: a message\ntrigger: 2\n");
    const ProgramRun plot = runProgram(PLOT_RECORDING_PATH, {(folder / "short.csv").string()});
    ASSERT_EQ(plot.exitCode, 0) << plot.output;
    EXPECT_EQ(plot.output, "plot-recording: 2 samples, 2 triggers, 1 message -> " + (folder / "short.svg").string() + "\n");
    const std::string svg = readFile(folder / "short.svg");
    const auto parsed = parseXml(svg);
    ASSERT_TRUE(parsed.root) << parsed.error;

    const ProgramRun render = runProgram("/usr/bin/rsvg-convert",
                                         {(folder / "short.svg").string(), "-o", (folder / "short.png").string()});
    ASSERT_EQ(render.exitCode, 0) << render.output;
    EXPECT_EQ(render.output, "");
    const std::string png = readFile(folder / "short.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    const auto bigEndian = [&](std::size_t at) {
        return (static_cast<std::uint32_t>(static_cast<unsigned char>(png[at])) << 24) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(png[at + 1])) << 16) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(png[at + 2])) << 8) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(png[at + 3]));
    };
    // Whole pixels, rounded up.
    EXPECT_EQ(bigEndian(16), std::ceil(std::stod(parsed.root->attributes.at("width"))));
    EXPECT_EQ(bigEndian(20), std::ceil(std::stod(parsed.root->attributes.at("height"))));
}

TEST_F(SessionProgram, OnePicturePerTrial) {
    const std::filesystem::path& folder = documents_.path();
    writeFile(folder / "trials.csv", std::string(kShortRecording) + "message: half way\n4000;2;962;540;960;541;4.5;964;539;4.6;\n"
                                         "trigger: 2\n5000;3;963;540;961;541;4.5;965;539;4.6;\n");
    const std::filesystem::path picture = folder / "all.svg";
    const ProgramRun plot = runProgram(PLOT_RECORDING_PATH, {(folder / "trials.csv").string(), "--per-trial", "-o",
                                                             picture.string()});
    ASSERT_EQ(plot.exitCode, 0) << plot.output;
    const std::string first = (folder / "all-trial-1.svg").string();
    const std::string second = (folder / "all-trial-2.svg").string();
    EXPECT_EQ(plot.output, "plot-recording: trial 1: 2 samples, 1 message -> " + first + "\n"
                           "plot-recording: trial 2: 1 sample, 0 messages -> " + second + "\n"
                           "plot-recording: 4 samples, 2 triggers, 1 message -> " + picture.string() + "\n");
    for (const std::string& path : {first, second}) {
        const auto parsed = parseXml(readFile(path));
        ASSERT_TRUE(parsed.root) << path << ": " << parsed.error;
        EXPECT_EQ(parsed.root->findById("triggers")->childrenNamed("path").size(), 1u) << path;
    }
    EXPECT_NE(readFile(second).find(">Recording trials.csv, trial 2 (trigger 2)<"), std::string::npos);
    EXPECT_NE(readFile(second).find(">1 sample over 1 s, 1 trigger, 0 messages, 0 samples missing<"), std::string::npos);

    // A trial's picture never goes over a file it did not write.
    writeFile(first, "notes");
    const ProgramRun refused = runProgram(PLOT_RECORDING_PATH, {(folder / "trials.csv").string(), "--per-trial", "-o",
                                                                picture.string()});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.output, "plot-recording: will not write over " + first +
                                  ": it exists and is not a picture written by plot-recording\n");
    EXPECT_EQ(readFile(first), "notes");
}

TEST_F(SessionProgram, PlotRecordingReadsOnlyRecordings) {
    const std::filesystem::path& folder = documents_.path();
    const std::string notHeader = " does not begin with the lines \"Sep=;\" and \"timestamp [us];<tab>index;...\"\n";
    writeFile(folder / "README.md", "# Tyvarion NBS\n\nscripts/demo\n");
    writeFile(folder / "empty.csv", "");
    const std::filesystem::path directory = folder / "recordings";
    std::filesystem::create_directory(directory);

    const ProgramRun readme = runProgram(PLOT_RECORDING_PATH, {(folder / "README.md").string()});
    EXPECT_EQ(readme.exitCode, 1);
    EXPECT_EQ(readme.output, "plot-recording: not a recording: " + (folder / "README.md").string() + notHeader);
    const ProgramRun empty = runProgram(PLOT_RECORDING_PATH, {(folder / "empty.csv").string()});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_EQ(empty.output, "plot-recording: not a recording: " + (folder / "empty.csv").string() + " is empty\n");
    const ProgramRun folderGiven = runProgram(PLOT_RECORDING_PATH, {directory.string()});
    EXPECT_EQ(folderGiven.exitCode, 1);
    EXPECT_EQ(folderGiven.output, "plot-recording: not a recording: " + directory.string() + " is a directory\n");
    EXPECT_FALSE(std::filesystem::exists(folder / "recordings.svg"));
    EXPECT_FALSE(std::filesystem::exists(folder / "README.svg"));
    EXPECT_FALSE(std::filesystem::exists(folder / "empty.svg"));

    // Cut off mid-line, with a line it cannot read: drawn, with a warning for each.
    const std::filesystem::path cut = folder / "cut.csv";
    writeFile(cut, std::string(kShortRecording) + "garbage\n5000;2;961;54");
    const ProgramRun partial = runProgram(PLOT_RECORDING_PATH, {cut.string()});
    EXPECT_EQ(partial.exitCode, 0);
    const std::string warning = "plot-recording: warning: " + cut.string() + ": ";
    EXPECT_EQ(partial.output, warning + "the file ends in the middle of a line: its last 13 bytes were left out\n" +
                                  warning + "1 line could not be read and was left out: line 6\n" +
                                  "plot-recording: 2 samples, 1 trigger, 0 messages -> " +
                                  (folder / "cut.svg").string() + "\n");
}

}  // namespace
}  // namespace tyvarion::testing
