#include "recording-report/quality.h"

#include <algorithm>
#include <cmath>

#include "recording-reader/timeline.h"

namespace tyvarion::tools {
namespace {

double squaredDistance(const GazePoint& a, const GazePoint& b) {
    return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y);
}

}  // namespace

std::optional<double> median(std::vector<double> values) {
    if (values.empty()) return std::nullopt;
    const std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
    const double high = values[middle];
    if (values.size() % 2 == 1) return high;
    const double low = *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle));
    return (low + high) / 2;
}

QualityAccumulator::QualityAccumulator(const ScreenGeometry& screen, std::int64_t windowMicros)
    : screen_(screen), classifier_(classificationScreen(screen)), windowMicros_(windowMicros) {}

void QualityAccumulator::closeRun() {
    figures_.durationSeconds += static_cast<double>(last_->timeMicros - runFirstMicros_) / 1e6;
    figures_.expectedSamples += static_cast<std::uint64_t>(std::int64_t{last_->index} - runFirstIndex_ + 1);
    closeWindow();
}

void QualityAccumulator::beginRun(const RecordedSample& sample) {
    if (last_) closeRun();
    ++figures_.runs;
    runFirstIndex_ = sample.index;
    runFirstMicros_ = sample.timeMicros;
    windowStart_ = sample.timeMicros;
}

void QualityAccumulator::add(const RecordedSample& sample) {
    bool follows = false;
    if (!last_) {
        figures_.firstMicros = sample.timeMicros;
        beginRun(sample);
    } else if (beginsNewRun(*last_, sample)) {
        beginRun(sample);
    } else {
        intervals_.add(sample.timeMicros - last_->timeMicros);
        const std::int64_t step = static_cast<std::int64_t>(sample.index) - last_->index;
        follows = step == 1;
        if (step > 1) {
            ++figures_.indexGaps.count;
            figures_.indexGaps.missing += step - 1;
            figures_.indexGaps.longest = std::max(figures_.indexGaps.longest, step - 1);
        }
        if (sample.timeMicros - windowStart_ >= windowMicros_ || binocular_.window.size() == kMaxWindowLines) {
            closeWindow();
            // Windows lie on a grid from the run's first sample; a jump skips empty ones.
            windowStart_ = sample.timeMicros - windowStart_ < windowMicros_
                               ? sample.timeMicros
                               : windowStart_ + (sample.timeMicros - windowStart_) / windowMicros_ * windowMicros_;
        }
    }
    ++figures_.sampleLines;
    figures_.lastMicros = sample.timeMicros;
    const auto take = [follows](Signal& signal, const std::optional<GazePoint>& point) {
        if (!point) ++signal.invalid;
        signal.window.push_back({point, follows});
    };
    take(left_, sample.left);
    take(right_, sample.right);
    take(binocular_, sample.gaze);
    last_ = sample;
}

void QualityAccumulator::closeWindow() {
    closeWindow(left_);
    closeWindow(right_);
    closeWindow(binocular_);
}

void QualityAccumulator::closeWindow(Signal& signal) {
    const bool angles = screen_.hasAngles();
    double s2sPx = 0, s2sDeg = 0;
    std::size_t pairs = 0;
    GazePoint sum;
    std::size_t valid = 0;
    Dispersion dispersion;
    for (std::size_t i = 0; i < signal.window.size(); ++i) {
        const auto& point = signal.window[i].point;
        if (!point) continue;
        sum.x += point->x;
        sum.y += point->y;
        ++valid;
        dispersion.add(*point);
        if (i == 0 || !signal.window[i].follows || !signal.window[i - 1].point) continue;
        const GazePoint& before = *signal.window[i - 1].point;
        s2sPx += squaredDistance(before, *point);
        if (angles) s2sDeg += std::pow(visualAngleDegrees(screen_, before, *point), 2);
        ++pairs;
    }
    const bool fixation = valid >= 2 && dispersion.degrees(classifier_) <= kFixationDispersionDegrees;
    const auto keep = [&](std::vector<double> WindowValues::*values, double value) {
        (signal.all.*values).push_back(value);
        if (fixation) (signal.fixations.*values).push_back(value);
    };
    if (pairs > 0) {
        keep(&WindowValues::s2sPx, std::sqrt(s2sPx / static_cast<double>(pairs)));
        if (angles) keep(&WindowValues::s2sDeg, std::sqrt(s2sDeg / static_cast<double>(pairs)));
    }
    if (valid >= 2) {
        const GazePoint mean{sum.x / static_cast<double>(valid), sum.y / static_cast<double>(valid)};
        double stdPx = 0, stdDeg = 0;
        for (const auto& entry : signal.window) {
            if (!entry.point) continue;
            stdPx += squaredDistance(*entry.point, mean);
            if (angles) stdDeg += std::pow(visualAngleDegrees(screen_, *entry.point, mean), 2);
        }
        keep(&WindowValues::stdPx, std::sqrt(stdPx / static_cast<double>(valid)));
        if (angles) keep(&WindowValues::stdDeg, std::sqrt(stdDeg / static_cast<double>(valid)));
    }
    signal.window.clear();
}

namespace {

Precision medians(const std::vector<double>& s2sPx, const std::vector<double>& stdPx,
                  const std::vector<double>& s2sDeg, const std::vector<double>& stdDeg) {
    Precision precision;
    precision.s2sWindows = s2sPx.size();
    precision.stdWindows = stdPx.size();
    precision.rmsS2sPx = median(s2sPx);
    precision.stdPx = median(stdPx);
    precision.rmsS2sDeg = median(s2sDeg);
    precision.stdDeg = median(stdDeg);
    return precision;
}

}  // namespace

SignalQuality QualityAccumulator::figures(const Signal& signal) const {
    SignalQuality quality;
    quality.invalid = signal.invalid;
    if (figures_.sampleLines > 0) {
        quality.invalidShare = static_cast<double>(signal.invalid) / static_cast<double>(figures_.sampleLines);
    }
    if (figures_.expectedSamples > 0) {
        const std::uint64_t missing = figures_.expectedSamples - figures_.sampleLines;
        quality.lossShare =
            static_cast<double>(signal.invalid + missing) / static_cast<double>(figures_.expectedSamples);
    }
    const auto set = [](const WindowValues& v) { return medians(v.s2sPx, v.stdPx, v.s2sDeg, v.stdDeg); };
    quality.allWindows = set(signal.all);
    quality.fixations = set(signal.fixations);
    quality.fixationWindows = signal.fixations.stdPx.size();
    quality.otherWindows = signal.all.stdPx.size() - quality.fixationWindows;
    return quality;
}

QualityFigures QualityAccumulator::finish() {
    if (last_) closeRun();
    last_.reset();
    QualityFigures result = figures_;
    if (result.sampleLines > result.runs && result.durationSeconds > 0) {
        result.effectiveRateHz =
            static_cast<double>(result.sampleLines - result.runs) / result.durationSeconds;
    }
    result.intervalMedianMicros = intervals_.median();
    result.interval99Micros = intervals_.percentile(0.99);
    result.intervalMaxMicros = intervals_.maximum();
    result.intervalGaps = intervals_.gaps();
    result.left = figures(left_);
    result.right = figures(right_);
    result.binocular = figures(binocular_);
    return result;
}

}  // namespace tyvarion::tools
