#include "recording-report/quality.h"

#include <algorithm>
#include <cmath>

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
    : screen_(screen), windowMicros_(windowMicros) {}

void QualityAccumulator::add(const RecordedSample& sample) {
    bool follows = false;
    if (last_) {
        intervals_.add(sample.timeMicros - last_->timeMicros);
        const std::int64_t step = static_cast<std::int64_t>(sample.index) - last_->index;
        follows = step == 1;
        if (step > 1) {
            ++figures_.indexGaps.count;
            figures_.indexGaps.missing += step - 1;
            figures_.indexGaps.longest = std::max(figures_.indexGaps.longest, step - 1);
        }
        if (sample.timeMicros - windowStart_ >= windowMicros_ || sample.timeMicros < windowStart_ ||
            binocular_.window.size() == kMaxWindowLines) {
            closeWindow();
            // Windows lie on a grid from the first sample; a jump skips empty ones.
            windowStart_ = sample.timeMicros < windowStart_ || sample.timeMicros - windowStart_ < windowMicros_
                               ? sample.timeMicros
                               : windowStart_ + (sample.timeMicros - windowStart_) / windowMicros_ * windowMicros_;
        }
    } else {
        figures_.firstMicros = sample.timeMicros;
        windowStart_ = sample.timeMicros;
    }
    ++figures_.sampleLines;
    figures_.lastMicros = sample.timeMicros;
    const auto take = [follows](Signal& signal, const std::optional<GazePoint>& point) {
        if (!point) ++signal.lost;
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
    for (std::size_t i = 0; i < signal.window.size(); ++i) {
        const auto& point = signal.window[i].point;
        if (!point) continue;
        sum.x += point->x;
        sum.y += point->y;
        ++valid;
        if (i == 0 || !signal.window[i].follows || !signal.window[i - 1].point) continue;
        const GazePoint& before = *signal.window[i - 1].point;
        s2sPx += squaredDistance(before, *point);
        if (angles) s2sDeg += std::pow(visualAngleDegrees(screen_, before, *point), 2);
        ++pairs;
    }
    if (pairs > 0) {
        signal.s2sPx.push_back(std::sqrt(s2sPx / static_cast<double>(pairs)));
        if (angles) signal.s2sDeg.push_back(std::sqrt(s2sDeg / static_cast<double>(pairs)));
    }
    if (valid >= 2) {
        const GazePoint mean{sum.x / static_cast<double>(valid), sum.y / static_cast<double>(valid)};
        double stdPx = 0, stdDeg = 0;
        for (const auto& entry : signal.window) {
            if (!entry.point) continue;
            stdPx += squaredDistance(*entry.point, mean);
            if (angles) stdDeg += std::pow(visualAngleDegrees(screen_, *entry.point, mean), 2);
        }
        signal.stdPx.push_back(std::sqrt(stdPx / static_cast<double>(valid)));
        if (angles) signal.stdDeg.push_back(std::sqrt(stdDeg / static_cast<double>(valid)));
    }
    signal.window.clear();
}

SignalQuality QualityAccumulator::figures(Signal& signal) const {
    SignalQuality quality;
    quality.lost = signal.lost;
    if (figures_.sampleLines > 0) {
        quality.lossShare = static_cast<double>(signal.lost) / static_cast<double>(figures_.sampleLines);
    }
    quality.precision.s2sWindows = signal.s2sPx.size();
    quality.precision.stdWindows = signal.stdPx.size();
    quality.precision.rmsS2sPx = median(signal.s2sPx);
    quality.precision.stdPx = median(signal.stdPx);
    quality.precision.rmsS2sDeg = median(signal.s2sDeg);
    quality.precision.stdDeg = median(signal.stdDeg);
    return quality;
}

QualityFigures QualityAccumulator::finish() {
    closeWindow();
    QualityFigures result = figures_;
    if (result.firstMicros) {
        result.durationSeconds = static_cast<double>(*result.lastMicros - *result.firstMicros) / 1e6;
        if (result.sampleLines >= 2 && result.durationSeconds > 0) {
            result.effectiveRateHz = static_cast<double>(result.sampleLines - 1) / result.durationSeconds;
        }
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
