#include "server/gaze_model.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tyvarion::sim {
namespace {

constexpr double kBlinkChance = 0.1;  // per fixation
constexpr double kMinBlinkMs = 100;
constexpr double kMaxBlinkMs = 250;
// Saccade duration grows with amplitude, as the main sequence does.
constexpr double kSaccadeBaseMs = 20;
constexpr double kSaccadeMsPerPx = 0.04;
// Pupil radius: a slow mean-reverting walk.
constexpr double kPupilMeanMm = 2.6;
constexpr double kPupilReversionPerS = 0.2;
constexpr double kPupilNoiseMmPerSqrtS = 0.25;
constexpr double kMaxDriftPx = 6;

// Minimum-jerk profile: 0 at 0, 1 at 1, smooth at both ends.
double minimumJerk(double t) { return t * t * t * (10 - 15 * t + 6 * t * t); }

}  // namespace

GazeModel::GazeModel(const GazeModelConfig& config)
    : config_(config), random_(config.seed), stepMs_(1000.0 / config.rateHz) {}

void GazeModel::pickTarget() {
    fromX_ = toX_;
    fromY_ = toY_;
    toX_ = random_.uniform(0.1, 0.9) * config_.screenWidth;
    toY_ = random_.uniform(0.1, 0.9) * config_.screenHeight;
}

void GazeModel::enter(Phase phase) {
    phase_ = phase;
    switch (phase) {
    case Phase::Fixation:
        phaseDurationMs_ = random_.uniform(kMinFixationMs, kMaxFixationMs);
        driftX_ = driftY_ = 0;
        break;
    case Phase::Saccade: {
        pickTarget();
        const double amplitude = std::hypot(toX_ - fromX_, toY_ - fromY_);
        phaseDurationMs_ = kSaccadeBaseMs + kSaccadeMsPerPx * amplitude;
        break;
    }
    case Phase::Blink:
        phaseDurationMs_ = random_.uniform(kMinBlinkMs, kMaxBlinkMs);
        break;
    }
}

void GazeModel::advance(double ms) {
    phaseElapsedMs_ += ms;
    while (phaseElapsedMs_ >= phaseDurationMs_) {
        phaseElapsedMs_ -= phaseDurationMs_;
        if (phase_ == Phase::Fixation)
            enter(random_.unit() < kBlinkChance ? Phase::Blink : Phase::Saccade);
        else
            enter(Phase::Fixation);  // after a blink the eyes open where they were
    }

    const double seconds = ms / 1000.0;
    pupilMm_ += kPupilReversionPerS * (kPupilMeanMm - pupilMm_) * seconds +
                kPupilNoiseMmPerSqrtS * std::sqrt(seconds) * random_.normal();
    pupilMm_ = std::clamp(pupilMm_, kMinPupilMm, kMaxPupilMm - pupilOffsetMm_);

    if (phase_ == Phase::Fixation) {
        const double step = 0.05 * std::sqrt(ms);
        driftX_ = std::clamp(driftX_ + step * random_.normal(), -kMaxDriftPx, kMaxDriftPx);
        driftY_ = std::clamp(driftY_ + step * random_.normal(), -kMaxDriftPx, kMaxDriftPx);
    }
}

tyapi::TYGazeSample GazeModel::next() {
    if (!started_) {
        started_ = true;
        pickTarget();
        enter(Phase::Fixation);
    } else {
        advance(stepMs_);
    }

    tyapi::TYGazeSample sample;
    std::memset(&sample, 0, sizeof sample);
    if (phase_ == Phase::Blink) {
        const double invalid = tyapi::TYInvalidValue;
        sample.porX = sample.porY = invalid;
        sample.porLeftX = sample.porLeftY = invalid;
        sample.porRightX = sample.porRightY = invalid;
        sample.pupilRadiusLeft = sample.pupilRadiusRight = invalid;
        return sample;
    }

    double x = toX_ + driftX_;
    double y = toY_ + driftY_;
    if (phase_ == Phase::Saccade) {
        const double progress = minimumJerk(std::min(phaseElapsedMs_ / phaseDurationMs_, 1.0));
        x = fromX_ + (toX_ - fromX_) * progress;
        y = fromY_ + (toY_ - fromY_) * progress;
    }
    const double half = config_.binocularOffsetPx / 2;
    sample.porLeftX = x - half + jitter();
    sample.porLeftY = y + jitter();
    sample.porRightX = x + half + jitter();
    sample.porRightY = y + jitter();
    sample.porX = (sample.porLeftX + sample.porRightX) / 2;
    sample.porY = (sample.porLeftY + sample.porRightY) / 2;
    sample.pupilRadiusLeft = pupilMm_;
    sample.pupilRadiusRight = pupilMm_ + pupilOffsetMm_;
    return sample;
}

}  // namespace tyvarion::sim
