// The data-quality report on recordings made with known answers: a gap, a
// share of lost samples, a constant offset, a signal of known precision in
// pixels and degrees, white noise of known spread; triggers, messages and
// trials; and input that is cut off, empty, CR LF, in any language.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "recording-report/report.h"
#include "recording_maker.h"

namespace tyvarion::tools {
namespace {

using testing::kRecordingHeader;
using testing::MadeSample;
using testing::sampleLine;

Report report(const std::string& text, const ReportOptions& options = {}) {
    std::istringstream input(text);
    return buildReport(input, options);
}

// 1000 Hz from 1 s, every value valid, the eyes 2 px either side of the point.
MadeSample steady(std::int32_t index) {
    MadeSample s;
    s.timeMicros = 1'000'000 + std::int64_t{index} * 1000;
    s.index = index;
    s.gaze = GazePoint{960, 540};
    s.left = GazePoint{958, 540};
    s.right = GazePoint{962, 540};
    s.pupilLeftMm = 4;
    s.pupilRightMm = 4.5;
    return s;
}

TEST(RecordingReport, GapsIntervalsAndLoss) {
    // Samples 500 to 549 never arrived; every fourth index has no left eye.
    std::string text = kRecordingHeader;
    for (std::int32_t i = 0; i < 1000; ++i) {
        if (i >= 500 && i < 550) continue;
        MadeSample s = steady(i);
        if (i % 4 == 0) s.left.reset();
        text += sampleLine(s);
    }
    const QualityFigures f = report(text).figures;
    EXPECT_EQ(950u, f.sampleLines);
    EXPECT_EQ(1'000'000, f.firstMicros);
    EXPECT_EQ(1'999'000, f.lastMicros);
    EXPECT_DOUBLE_EQ(0.999, f.durationSeconds);
    EXPECT_DOUBLE_EQ(949 / 0.999, *f.effectiveRateHz);
    EXPECT_EQ(1000.0, f.intervalMedianMicros);
    EXPECT_EQ(1000, f.interval99Micros);
    EXPECT_EQ(51'000, f.intervalMaxMicros);
    EXPECT_EQ(1u, f.indexGaps.count);
    EXPECT_EQ(50, f.indexGaps.missing);
    EXPECT_EQ(50, f.indexGaps.longest);
    EXPECT_EQ(1500.0, f.intervalGaps.thresholdMicros);
    EXPECT_EQ(1u, f.intervalGaps.count);
    EXPECT_EQ(51'000, f.intervalGaps.totalMicros);
    EXPECT_EQ(51'000, f.intervalGaps.longestMicros);
    // 125 of indexes 0 to 499 and 112 of 552 to 996 are multiples of four.
    // Loss counts the 50 that never came as well, of the 1000 due.
    EXPECT_EQ(1000u, f.expectedSamples);
    EXPECT_EQ(1u, f.runs);
    EXPECT_EQ(237u, f.left.invalid);
    EXPECT_DOUBLE_EQ(237.0 / 950, *f.left.invalidShare);
    EXPECT_DOUBLE_EQ(287.0 / 1000, *f.left.lossShare);
    EXPECT_EQ(0u, f.right.invalid);
    EXPECT_EQ(0.0, f.binocular.invalidShare);
    EXPECT_DOUBLE_EQ(0.05, *f.binocular.lossShare);
    // A still eye: no spread anywhere, whatever its offset from the target.
    EXPECT_EQ(0.0, f.right.fixations.rmsS2sPx);
    EXPECT_EQ(0.0, f.right.fixations.stdPx);
    EXPECT_EQ(5u, f.right.fixations.stdWindows);
    EXPECT_EQ(5u, f.right.fixationWindows);
    EXPECT_EQ(0u, f.right.otherWindows);
    EXPECT_FALSE(f.right.fixations.rmsS2sDeg);  // no geometry given
}

TEST(RecordingReport, PrecisionInPixelsAndDegrees) {
    // A screen of 1 mm pixels 500 mm from the eye. The left eye alternates
    // 500 px either side of the centre: 1000 px and 90 degrees from sample
    // to sample, 500 px and 45 degrees from its mean. The right eye sits
    // still 300 px right of the centre (a constant offset).
    ReportOptions options;
    options.screen = {1000, 1000, 1000.0, 1000.0, 500.0};
    std::string text = kRecordingHeader;
    for (std::int32_t i = 0; i < 1000; ++i) {
        MadeSample s = steady(i);
        s.left = GazePoint{i % 2 ? 0.0 : 1000.0, 500};
        s.right = GazePoint{800, 500};
        s.gaze.reset();
        text += sampleLine(s);
    }
    const QualityFigures f = report(text, options).figures;
    // No window of the left eye is a fixation; the figures of all windows
    // are those of the definitions.
    EXPECT_EQ(0u, f.left.fixationWindows);
    EXPECT_EQ(5u, f.left.otherWindows);
    EXPECT_FALSE(f.left.fixations.rmsS2sPx);
    EXPECT_FALSE(f.left.fixations.stdDeg);
    const Precision& left = f.left.allWindows;
    EXPECT_EQ(5u, left.s2sWindows);
    EXPECT_DOUBLE_EQ(1000, *left.rmsS2sPx);
    EXPECT_DOUBLE_EQ(500, *left.stdPx);
    EXPECT_NEAR(90, *left.rmsS2sDeg, 1e-9);
    EXPECT_NEAR(45, *left.stdDeg, 1e-9);
    EXPECT_EQ(0.0, f.right.fixations.rmsS2sDeg);
    EXPECT_EQ(0.0, f.right.fixations.stdDeg);
    // No binocular point at all: no figure, and a loss of everything.
    EXPECT_FALSE(f.binocular.allWindows.rmsS2sPx);
    EXPECT_FALSE(f.binocular.allWindows.stdPx);
    EXPECT_EQ(0u, f.binocular.fixationWindows + f.binocular.otherWindows);
    EXPECT_EQ(1.0, f.binocular.lossShare);

    // Pairs across a gap in the index are no sample-to-sample step: the same
    // signal with every other sample missing has no pairs left.
    std::string halves = kRecordingHeader;
    for (std::int32_t i = 0; i < 1000; i += 2) {
        MadeSample s = steady(i);
        s.left = GazePoint{(i / 2) % 2 ? 0.0 : 1000.0, 500};
        halves += sampleLine(s);
    }
    const Precision gapped = report(halves, options).figures.left.allWindows;
    EXPECT_FALSE(gapped.rmsS2sPx);
    EXPECT_DOUBLE_EQ(500, *gapped.stdPx);
}

TEST(RecordingReport, WhiteNoiseOfKnownSpreadAndASaccade) {
    // Independent noise of standard deviation 2 px on each axis: a step has
    // variance 2 * 4 per axis, so RMS-S2S is sqrt(8 + 8) = 4 px; STD is
    // sqrt(4 + 4) = 2.83 px. One jump of 400 px in the middle of a window (a
    // saccade) leaves that window out of the fixations.
    std::mt19937 random(20261208);
    std::normal_distribution<double> noise(0, 2);
    std::string text = kRecordingHeader;
    for (std::int32_t i = 0; i < 10'000; ++i) {
        MadeSample s = steady(i);
        const double shift = i >= 5100 ? 400 : 0;
        s.gaze = GazePoint{960 + shift + noise(random), 540 + noise(random)};
        text += sampleLine(s);
    }
    const SignalQuality q = report(text).figures.binocular;
    EXPECT_EQ(49u, q.fixationWindows);
    EXPECT_EQ(1u, q.otherWindows);
    EXPECT_EQ(50u, q.allWindows.s2sWindows);
    const Precision& p = q.fixations;
    EXPECT_EQ(49u, p.s2sWindows);
    EXPECT_NEAR(4.0, *p.rmsS2sPx, 0.08);
    EXPECT_NEAR(2 * std::sqrt(2.0), *p.stdPx, 0.06);
}

TEST(RecordingReport, TriggersMessagesAndTrials) {
    std::string text = kRecordingHeader;
    text += "trigger: 1\nmessage: start\n";
    for (std::int32_t i = 0; i < 100; ++i) {
        if (i == 40) text += "trigger: 2\nmessage: 17\nmessage: 1500;42;1;1;1;1;1;1;1;1;\n";
        MadeSample s = steady(i);
        if (i >= 40 && i < 50) s.gaze.reset();  // ten lost in trial 2
        text += sampleLine(s);
    }
    text += "trigger: -3\n";
    ReportOptions options;
    options.perTrial = true;
    const Report r = report(text, options);
    EXPECT_EQ(3u, r.triggers);
    EXPECT_EQ(3u, r.messages);
    EXPECT_EQ(0u, r.otherLines);
    ASSERT_EQ(6u, r.events.size());
    EXPECT_EQ(TextKind::trigger, r.events[0].kind);
    EXPECT_EQ("1", r.events[0].text);
    // Before every sample line: the first one's time, marked.
    EXPECT_EQ(1'000'000, r.events[0].timeMicros);
    EXPECT_EQ(0, r.events[0].index);
    EXPECT_TRUE(r.events[0].beforeFirstSample);
    EXPECT_TRUE(r.events[1].beforeFirstSample);
    EXPECT_FALSE(r.events[2].beforeFirstSample);
    EXPECT_TRUE(r.trials[0].trigger.beforeFirstSample);
    // A message that looks like a number, or like a sample line, stays a message.
    EXPECT_EQ(TextKind::message, r.events[3].kind);
    EXPECT_EQ("17", r.events[3].text);
    EXPECT_EQ(TextKind::message, r.events[4].kind);
    EXPECT_EQ("1500;42;1;1;1;1;1;1;1;1;", r.events[4].text);
    EXPECT_EQ(1'039'000, r.events[2].timeMicros);
    EXPECT_EQ(39, r.events[2].index);
    EXPECT_EQ("-3", r.events[5].text);
    EXPECT_EQ(1'099'000, r.events[5].timeMicros);

    ASSERT_EQ(3u, r.trials.size());
    EXPECT_EQ(40u, r.trials[0].figures.sampleLines);
    EXPECT_EQ(0.0, r.trials[0].figures.binocular.lossShare);
    EXPECT_EQ(1'000'000, r.trials[0].trigger.timeMicros);
    EXPECT_EQ("2", r.trials[1].trigger.text);
    EXPECT_EQ(60u, r.trials[1].figures.sampleLines);
    EXPECT_DOUBLE_EQ(10.0 / 60, *r.trials[1].figures.binocular.lossShare);
    EXPECT_DOUBLE_EQ(0.059, r.trials[1].figures.durationSeconds);
    EXPECT_EQ(0u, r.trials[2].figures.sampleLines);
    EXPECT_FALSE(r.trials[2].figures.effectiveRateHz);
    EXPECT_EQ(100u, r.figures.sampleLines);

    const std::string shown = reportText(r, options, "made.csv");
    EXPECT_NE(std::string::npos, shown.find("  1039000           39         trigger  2\n"));
    EXPECT_NE(std::string::npos, shown.find("  1000000*          0          message  start\n"));
    EXPECT_NE(std::string::npos, shown.find("\n  * before the first sample line: the first sample line's\n"));
    EXPECT_NE(std::string::npos, shown.find("\ntrial 1 (trigger 1 before the first sample)\n"));
    EXPECT_NE(std::string::npos, shown.find("\ntrial 2 (trigger 2 after 1039000 us)\n"));
}

TEST(RecordingReport, JsonHoldsTheSameFigures) {
    std::string text = kRecordingHeader;
    text += "message: caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xFF\xFE end\n";  // UTF-8, then two bytes that are not
    for (std::int32_t i = 0; i < 400; ++i) text += sampleLine(steady(i));
    text += "trigger: 9\n";
    ReportOptions options;
    options.perTrial = true;
    options.screen.widthMm = 531;
    options.screen.heightMm = 299;
    options.screen.distanceMm = 650;
    const auto json = nlohmann::json::parse(reportJson(report(text, options), options, "x.csv"));
    EXPECT_EQ("x.csv", json["recording"]);
    EXPECT_EQ(400, json["sample_lines"]);
    EXPECT_DOUBLE_EQ(0.399, json["duration_s"].get<double>());
    EXPECT_DOUBLE_EQ(1000.0, json["effective_rate_hz"].get<double>());
    EXPECT_EQ(1000.0, json["interval_us"]["median"]);
    EXPECT_EQ(1000, json["interval_us"]["p99"]);
    EXPECT_EQ(0, json["index_gaps"]["count"]);
    EXPECT_EQ(0.0, json["left"]["loss"]);
    EXPECT_EQ(0.0, json["left"]["invalid"]);
    EXPECT_EQ(400, json["expected_samples"]);
    EXPECT_EQ(0.0, json["left"]["std_deg"]);
    EXPECT_EQ(2, json["left"]["std_windows"]);
    EXPECT_EQ(2, json["left"]["fixation_windows"]);
    EXPECT_EQ(0, json["left"]["other_windows"]);
    EXPECT_EQ(0.0, json["left"]["all_windows"]["std_deg"]);
    EXPECT_EQ(1.0, json["fixation_rule"]["max_dispersion_deg"]);
    EXPECT_EQ(false, json["fixation_rule"]["screen_assumed"]);
    EXPECT_EQ(650.0, json["screen"]["distance_mm"]);
    EXPECT_EQ(200.0, json["window_ms"]);
    ASSERT_EQ(2u, json["events"].size());
    EXPECT_EQ("message", json["events"][0]["kind"]);
    EXPECT_EQ("caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xEF\xBF\xBD\xEF\xBF\xBD end", json["events"][0]["text"]);
    EXPECT_EQ(1'000'000, json["events"][0]["timestamp_us"]);
    EXPECT_EQ(true, json["events"][0]["before_first_sample"]);
    EXPECT_EQ(false, json["events"][1]["before_first_sample"]);
    EXPECT_EQ(1'399'000, json["events"][1]["timestamp_us"]);
    EXPECT_EQ(399, json["events"][1]["index"]);
    ASSERT_EQ(1u, json["trials"].size());
    EXPECT_EQ(0, json["trials"][0]["sample_lines"]);
    EXPECT_TRUE(json["trials"][0]["effective_rate_hz"].is_null());
}

TEST(RecordingReport, BadAndRealWorldInput) {
    // Only the header: no figures, no crash.
    const Report empty = report(kRecordingHeader);
    EXPECT_EQ(0u, empty.figures.sampleLines);
    EXPECT_FALSE(empty.figures.effectiveRateHz);
    EXPECT_FALSE(empty.figures.intervalMedianMicros);
    EXPECT_FALSE(empty.figures.left.lossShare);
    EXPECT_NE(std::string::npos, reportText(empty, {}, "e.csv").find("  effective rate          -\n"));
    EXPECT_TRUE(nlohmann::json::parse(reportJson(empty, {}, "e.csv"))["left"]["loss"].is_null());

    // A session that crashed: the last line stops in the middle.
    std::string whole = kRecordingHeader;
    for (std::int32_t i = 0; i < 10; ++i) whole += sampleLine(steady(i));
    const Report cut = report(whole + "1010000;10;960;54");
    EXPECT_EQ(10u, cut.figures.sampleLines);
    EXPECT_EQ(1'009'000, cut.figures.lastMicros);

    // CR LF line ends read as LF ones.
    std::string crlf;
    for (char c : whole + "trigger: 4\n") {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    const Report windows = report(crlf);
    EXPECT_EQ(10u, windows.figures.sampleLines);
    EXPECT_DOUBLE_EQ(1000, *windows.figures.effectiveRateHz);
    ASSERT_EQ(1u, windows.events.size());
    EXPECT_EQ("4", windows.events[0].text);
}

TEST(RecordingReport, Geometry) {
    ScreenGeometry screen;
    std::string error;
    EXPECT_FALSE(takeGeometryOption("--json", "x", screen, error));
    EXPECT_TRUE(takeGeometryOption("--screen-mm", "531.4x298.9", screen, error));
    EXPECT_EQ("--screen-mm needs --distance-mm as well", geometryProblem(screen));
    EXPECT_TRUE(takeGeometryOption("--distance-mm", "650", screen, error));
    EXPECT_TRUE(takeGeometryOption("--screen", "2560x1440", screen, error));
    EXPECT_EQ("", error);
    EXPECT_EQ("", geometryProblem(screen));
    EXPECT_EQ(2560, screen.widthPx);
    EXPECT_EQ(298.9, screen.heightMm);
    // From the centre straight out sideways by the distance: 45 degrees.
    const ScreenGeometry square{1000, 800, 1000.0, 800.0, 650.0};
    EXPECT_NEAR(45, visualAngleDegrees(square, {500, 400}, {1150, 400}), 1e-12);
    EXPECT_NEAR(45, visualAngleDegrees(square, {500, 400}, {500, -250}), 1e-12);

    EXPECT_TRUE(takeGeometryOption("--screen", "1920x1080.5", screen, error));
    EXPECT_EQ("--screen: expects WIDTHxHEIGHT in whole pixels, for example 1920x1080", error);
    EXPECT_TRUE(takeGeometryOption("--screen-mm", "0x300", screen, error));
    EXPECT_EQ("--screen-mm: expects WIDTHxHEIGHT in millimetres, for example 531x299", error);
    EXPECT_TRUE(takeGeometryOption("--distance-mm", "-1", screen, error));
    EXPECT_EQ("--distance-mm: expects a distance in millimetres, for example 650", error);
}

}  // namespace
}  // namespace tyvarion::tools

namespace tyvarion::tools {
namespace {

TEST(RecordingReport, OnlyRecordingsAndWhatWasLeftOut) {
    EXPECT_FALSE(report("# notes\nnot a recording\n").recognised);
    EXPECT_TRUE(report("# notes\nnot a recording\n").events.empty());
    const Report partial = report(std::string(testing::kRecordingHeader) + "trigger: 1\nnoise\n1000;0;1;1");
    EXPECT_TRUE(partial.recognised);
    EXPECT_EQ(1u, partial.otherLines);
    EXPECT_EQ((std::vector<std::string>{"the file ends in the middle of a line: its last 10 bytes were left out",
                                        "1 line could not be read and was left out: line 4",
                                        "the recording holds no sample line: there are no figures"}),
              partial.warnings);
    EXPECT_NE(std::string::npos,
              reportText(partial, {}, "p.csv").find("1 trigger, 0 messages, 1 unreadable line\n"));
}

TEST(RecordingReport, RunsOfTimeAreMeasuredOneByOneAndSaid) {
    // 100 samples, then the tracker starts over: its clock and index from 0.
    std::string text = kRecordingHeader;
    for (std::int32_t i = 0; i < 100; ++i) text += sampleLine(steady(i));
    for (std::int32_t i = 0; i < 50; ++i) {
        MadeSample s = steady(i);
        s.timeMicros = 1000 + std::int64_t{i} * 1000;
        if (i == 10) continue;  // one never came
        text += sampleLine(s);
    }
    const Report r = report(text);
    const QualityFigures& f = r.figures;
    EXPECT_EQ(2u, f.runs);
    EXPECT_EQ(149u, f.sampleLines);
    EXPECT_EQ(150u, f.expectedSamples);
    EXPECT_DOUBLE_EQ(0.099 + 0.049, f.durationSeconds);
    EXPECT_DOUBLE_EQ(147 / 0.148, *f.effectiveRateHz);
    EXPECT_EQ(2000, f.intervalMaxMicros);  // the gap; the jump back is no interval
    EXPECT_EQ(1u, f.indexGaps.count);
    EXPECT_DOUBLE_EQ(1.0 / 150, *f.binocular.lossShare);
    EXPECT_EQ((std::vector<std::string>{
                  "1 time stamp falls below the one before (a negative interval): line 103",
                  "the index does not rise 1 time (it restarts or repeats): line 103",
                  "the recording holds 2 runs of time that share no time axis; the second begins at line 103"}),
              r.warnings);
    EXPECT_NE(std::string::npos, reportText(r, {}, "r.csv").find("  duration                0.148 s (2 runs of time)\n"));
}

}  // namespace
}  // namespace tyvarion::tools
