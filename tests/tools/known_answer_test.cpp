// The report's figures on recordings of a made-up viewer whose answers follow
// from the scene's parameters: fixations on two points 10 degrees apart,
// saccades of 40 ms between them, white Gaussian noise of a known spread on
// each signal, blinks (invalid samples) and samples that never came. The
// windows of 200 ms line up with the scene, so each either lies wholly in a
// fixation or holds a whole saccade: which windows are kept is known exactly,
// and so are loss and counts. Precision figures are estimates from noise; their
// tolerances are four standard errors of a median over the kept windows.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <set>
#include <sstream>

#include "recording-report/report.h"
#include "recording_maker.h"

namespace tyvarion::tools {
namespace {

using testing::kRecordingHeader;
using testing::MadeSample;
using testing::sampleLine;

constexpr double kPi = std::numbers::pi;
const ScreenGeometry kScreen{1920, 1080, 531.0, 299.0, 650.0};
constexpr std::int64_t kWindowMicros = 200'000;

struct Scene {
    int rateHz = 500;
    double noiseLeftPx = 1.0;  // standard deviation on each axis
    double noiseRightPx = 1.5;
    double noiseBinocularPx = 0.7;
    int periodWindows = 4;             // the scene repeats every so many windows
    std::set<int> saccadeWindows{3};   // windows of a period that hold a saccade
    int periods = 30;
    bool blinks = true;  // 50 ms invalid in window 0 of every odd period
    bool gaps = true;    // 50 ms never written in window 0 of every third period
};

struct Made {
    std::string text;
    std::uint64_t lines = 0;
    std::uint64_t due = 0;
    std::uint64_t invalid = 0;
    std::uint64_t missing = 0;
    std::uint64_t windows = 0;
    std::uint64_t saccadeWindows = 0;
};

// Pixels either side of the centre for an angle from the screen's normal.
double offsetPx(double degrees) { return kScreen.distanceMm.value() * std::tan(degrees * kPi / 180) / (531.0 / 1920); }

Made make(const Scene& scene) {
    const int perWindow = scene.rateHz / 5;  // samples in 200 ms
    const int perPeriod = perWindow * scene.periodWindows;
    const int saccadeSamples = scene.rateHz * 40 / 1000;
    const std::int64_t interval = 1'000'000 / scene.rateHz;
    const double half = offsetPx(5.0);
    std::mt19937 random(20261209);
    std::normal_distribution<double> unit(0, 1);
    Made made;
    made.text = kRecordingHeader;
    double side = -1;  // the point fixated: left of the centre, then right
    for (int period = 0; period < scene.periods; ++period) {
        made.text += "trigger: " + std::to_string(period + 1) + "\n";
        for (int at = 0; at < perPeriod; ++at) {
            const int i = period * perPeriod + at;
            const int window = at / perWindow;
            const int inWindow = at % perWindow;
            // A saccade from 40 % of its window on: 80 to 120 ms in.
            const int saccadeStart = perWindow * 2 / 5;
            double x = 960 + side * half;
            if (scene.saccadeWindows.count(window) && inWindow >= saccadeStart) {
                const int step = inWindow - saccadeStart;
                if (step < saccadeSamples) {
                    x = 960 + side * half * (1 - 2.0 * (step + 1) / (saccadeSamples + 1));
                } else {
                    if (step == saccadeSamples) side = -side;
                    x = 960 + side * half;
                }
            }
            ++made.due;
            if (scene.gaps && period % 3 == 2 && window == 0 && inWindow >= perWindow / 10 &&
                inWindow < perWindow / 10 + perWindow / 4) {
                ++made.missing;
                continue;
            }
            MadeSample s;
            s.timeMicros = 1'000'000 + std::int64_t{i} * interval;
            s.index = i;
            const bool blink = scene.blinks && period % 2 == 1 && window == 0 && inWindow >= perWindow / 2 &&
                               inWindow < perWindow / 2 + perWindow / 4;
            if (blink) {
                ++made.invalid;
            } else {
                const auto noisy = [&](double spread) { return GazePoint{x + spread * unit(random), 540 + spread * unit(random)}; };
                s.left = noisy(scene.noiseLeftPx);
                s.right = noisy(scene.noiseRightPx);
                s.gaze = noisy(scene.noiseBinocularPx);
                s.pupilLeftMm = s.pupilRightMm = 4;
            }
            made.text += sampleLine(s);
            ++made.lines;
        }
    }
    made.windows = static_cast<std::uint64_t>(scene.periods) * static_cast<std::uint64_t>(scene.periodWindows);
    made.saccadeWindows = static_cast<std::uint64_t>(scene.periods) * scene.saccadeWindows.size();
    return made;
}

Report reportOf(const Made& made, bool perTrial = false) {
    ReportOptions options;
    options.screen = kScreen;
    options.windowMicros = kWindowMicros;
    options.perTrial = perTrial;
    std::istringstream input(made.text);
    return buildReport(input, options);
}

// Degrees per pixel of noise at the fixation points, 5 degrees off the
// normal: a horizontal step subtends cos^2 of that angle, a vertical one cos.
double degreesPerPx() {
    const double c = std::cos(5.0 * kPi / 180);
    const double mmPerPx = 531.0 / 1920;  // 299 / 1080 differs by 0.1 %
    return mmPerPx / 650 * 180 / kPi * std::sqrt((c * c * c * c + c * c) / 2);
}

// For noise of spread s on each axis and n samples in a window:
// - STD, the root mean square distance from the mean, estimates
//   s * sqrt(2 (n - 1) / n), with a standard error of s / sqrt(2 n);
// - RMS-S2S estimates the root mean square of a step, 2 s (each axis's step
//   has variance 2 s^2); its n - 1 squared steps, neighbours correlated,
//   give a standard error of s * sqrt(1.5 / (n - 1)).
// The median over k windows has a standard error of 1.2533 times that
// over sqrt(k). A quarter of the samples of a few windows are missing or
// invalid: n is taken as 3/4 of a window's, which widens the error, and 1 %
// allows for the smaller n's bias and the screen's 0.1 % unequal pixels.
struct Expected {
    double value;
    double tolerance;
};

Expected stdOf(double spread, double perWindow, std::size_t windows) {
    const double n = perWindow * 0.75;
    const double value = spread * std::sqrt(2 * (perWindow - 1) / perWindow);
    return {value, 4 * 1.2533 * spread / std::sqrt(2 * n) / std::sqrt(static_cast<double>(windows)) + 0.01 * value};
}

Expected s2sOf(double spread, double perWindow, std::size_t windows) {
    const double n = perWindow * 0.75;
    const double value = 2 * spread;
    return {value, 4 * 1.2533 * spread * std::sqrt(1.5 / (n - 1)) / std::sqrt(static_cast<double>(windows)) +
                       0.01 * value};
}

void expectPrecision(const SignalQuality& q, double spread, double perWindow, const std::string& what) {
    const Expected std = stdOf(spread, perWindow, q.fixationWindows);
    const Expected s2s = s2sOf(spread, perWindow, q.fixationWindows);
    EXPECT_NEAR(std.value, *q.fixations.stdPx, std.tolerance) << what;
    EXPECT_NEAR(s2s.value, *q.fixations.rmsS2sPx, s2s.tolerance) << what;
    EXPECT_NEAR(std.value * degreesPerPx(), *q.fixations.stdDeg, std.tolerance * degreesPerPx()) << what;
    EXPECT_NEAR(s2s.value * degreesPerPx(), *q.fixations.rmsS2sDeg, s2s.tolerance * degreesPerPx()) << what;
}

TEST(KnownAnswers, FixationsSaccadesBlinksAndGapsAtThreeRates) {
    for (const int rate : {500, 1000, 2000}) {
        Scene scene;
        scene.rateHz = rate;
        scene.periods = 18;
        const Made made = make(scene);
        const QualityFigures f = reportOf(made).figures;
        const std::string at = std::to_string(rate) + " Hz";
        EXPECT_EQ(made.lines, f.sampleLines) << at;
        EXPECT_EQ(made.due, f.expectedSamples) << at;
        EXPECT_EQ(6u, f.indexGaps.count) << at;  // periods 2, 5, ..., 17
        EXPECT_EQ(static_cast<std::int64_t>(made.missing), f.indexGaps.missing) << at;
        for (const SignalQuality* q : {&f.left, &f.right, &f.binocular}) {
            EXPECT_EQ(made.invalid, q->invalid) << at;
            EXPECT_DOUBLE_EQ(static_cast<double>(made.invalid + made.missing) / static_cast<double>(made.due),
                             *q->lossShare) << at;
            EXPECT_DOUBLE_EQ(static_cast<double>(made.invalid) / static_cast<double>(made.lines), *q->invalidShare)
                << at;
            // Exactly the windows without a saccade are kept.
            EXPECT_EQ(made.windows - made.saccadeWindows, q->fixationWindows) << at;
            EXPECT_EQ(made.saccadeWindows, q->otherWindows) << at;
            EXPECT_EQ(made.windows, q->allWindows.stdWindows) << at;
        }
        const double perWindow = rate / 5.0;
        expectPrecision(f.left, scene.noiseLeftPx, perWindow, "left at " + at);
        expectPrecision(f.right, scene.noiseRightPx, perWindow, "right at " + at);
        expectPrecision(f.binocular, scene.noiseBinocularPx, perWindow, "binocular at " + at);
    }
}

TEST(KnownAnswers, FreeViewingWithSaccadesInMostWindows) {
    // Two saccades in every three windows: the median over all windows is
    // that of a window with a saccade (a 10 degree jump within 200 ms has
    // an STD of at least a third of it); over fixations it is the noise's.
    Scene scene;
    scene.periodWindows = 3;
    scene.saccadeWindows = {1, 2};
    const Made made = make(scene);
    const QualityFigures f = reportOf(made).figures;
    EXPECT_EQ(30u, f.binocular.fixationWindows);
    EXPECT_EQ(60u, f.binocular.otherWindows);
    expectPrecision(f.binocular, scene.noiseBinocularPx, 100, "binocular");
    EXPECT_GT(*f.binocular.allWindows.stdDeg, 10.0 / 3);
    EXPECT_GT(*f.binocular.allWindows.stdPx, 100 * *f.binocular.fixations.stdPx);
}

TEST(KnownAnswers, TrialsKeepTheirOwnWindows) {
    // A trigger begins each period: each trial has three fixation windows
    // and one with the saccade.
    Scene scene;
    scene.periods = 6;
    const Made made = make(scene);
    const Report r = reportOf(made, true);
    ASSERT_EQ(6u, r.trials.size());
    for (const TrialReport& trial : r.trials) {
        const std::string which = "trial " + std::to_string(trial.number);
        EXPECT_EQ(3u, trial.figures.left.fixationWindows) << which;
        EXPECT_EQ(1u, trial.figures.left.otherWindows) << which;
        EXPECT_TRUE(trial.figures.left.fixations.stdPx) << which;
    }
    // Trial 3 (period 2) lost 25 samples to a gap: 375 lines of 400 due.
    EXPECT_EQ(375u, r.trials[2].figures.sampleLines);
    EXPECT_EQ(400u, r.trials[2].figures.expectedSamples);
    EXPECT_DOUBLE_EQ(25.0 / 400, *r.trials[2].figures.right.lossShare);
    // Trial 2 (period 1) had a blink of 25 samples.
    EXPECT_DOUBLE_EQ(25.0 / 400, *r.trials[1].figures.right.lossShare);
    EXPECT_DOUBLE_EQ(25.0 / 400, *r.trials[1].figures.right.invalidShare);
}

}  // namespace
}  // namespace tyvarion::tools
