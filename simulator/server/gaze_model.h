#pragma once
// A gaze trace that looks like a person's: fixations of 150 to 400 ms with a
// little jitter, saccades between them, the odd blink (every gaze and pupil
// field invalid), two eyes a few pixels apart, pupils drifting slowly within
// 1.5 to 4 mm. Pure: it knows nothing of clocks; the caller stamps the time
// and the index.

#include <cstdint>

#include "client/tyapi.h"
#include "server/random.h"

namespace tyvarion::sim {

struct GazeModelConfig {
    std::int32_t screenWidth = 1920;
    std::int32_t screenHeight = 1080;
    double rateHz = 500;
    double binocularOffsetPx = 4;
    std::uint64_t seed = 1;
};

class GazeModel {
public:
    enum class Phase { Fixation, Saccade, Blink };

    static constexpr double kMinFixationMs = 150;
    static constexpr double kMaxFixationMs = 400;
    static constexpr double kMinPupilMm = 1.5;
    static constexpr double kMaxPupilMm = 4.0;

    explicit GazeModel(const GazeModelConfig& config);

    // The sample one sampling interval after the previous one (the first at
    // time 0). timestampMicroSec and index are left 0.
    tyapi::TYGazeSample next();

    // The phase of the sample last returned, and how long that phase lasts in total.
    Phase phase() const { return phase_; }
    double phaseDurationMs() const { return phaseDurationMs_; }

private:
    void advance(double ms);
    void enter(Phase phase);
    void pickTarget();
    double jitter() { return kJitterPx * random_.normal(); }

    static constexpr double kJitterPx = 1.5;

    GazeModelConfig config_;
    Random random_;
    double stepMs_;
    bool started_ = false;

    Phase phase_ = Phase::Fixation;
    double phaseDurationMs_ = 0;
    double phaseElapsedMs_ = 0;
    double fromX_ = 0, fromY_ = 0;  // saccade start
    double toX_ = 0, toY_ = 0;      // current or next fixation target
    double driftX_ = 0, driftY_ = 0;

    double pupilMm_ = 2.6;  // radius, left eye; the right one differs a little
    double pupilOffsetMm_ = 0.05;
};

}  // namespace tyvarion::sim
