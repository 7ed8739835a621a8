#include "plot-recording/dwell.h"

#include <algorithm>

namespace tyvarion::plot {
namespace {

struct Extent {
    double minX, maxX, minY, maxY;

    explicit Extent(const tools::GazePoint& p) : minX(p.x), maxX(p.x), minY(p.y), maxY(p.y) {}
    Extent with(const tools::GazePoint& p) const {
        Extent e = *this;
        e.minX = std::min(minX, p.x);
        e.maxX = std::max(maxX, p.x);
        e.minY = std::min(minY, p.y);
        e.maxY = std::max(maxY, p.y);
        return e;
    }
    double dispersion() const { return (maxX - minX) + (maxY - minY); }
};

}  // namespace

std::optional<tools::GazePoint> gazeOf(const tools::RecordedSample& sample) {
    if (sample.gaze) return sample.gaze;
    if (sample.left && sample.right)
        return tools::GazePoint{(sample.left->x + sample.right->x) / 2, (sample.left->y + sample.right->y) / 2};
    if (sample.left) return sample.left;
    return sample.right;
}

void DwellFinder::add(const TimedPoint& point) {
    if (!point.point) {
        // A blink ends the run.
        settle(true);
        return;
    }
    const tools::GazePoint& p = *point.point;
    if (run_.empty()) {
        minX_ = maxX_ = p.x;
        minY_ = maxY_ = p.y;
        run_.push_back(point);
        return;
    }
    const double minX = std::min(minX_, p.x), maxX = std::max(maxX_, p.x);
    const double minY = std::min(minY_, p.y), maxY = std::max(maxY_, p.y);
    if ((maxX - minX) + (maxY - minY) <= criteria_.maxDispersionPx) {
        minX_ = minX, maxX_ = maxX, minY_ = minY, maxY_ = maxY;
        run_.push_back(point);
        return;
    }
    // The run from the current start ends before this point.
    run_.push_back(point);
    settle(false);
}

// The run's points but the last (when !runEnded) fit from the start; decides
// for each start in turn, as the whole-trace search does, until a start whose
// window is still open remains.
void DwellFinder::settle(bool runEnded) {
    while (!run_.empty()) {
        // The window from run_[0]: as far as it stays compact.
        Extent extent(*run_[0].point);
        std::size_t end = 1;
        while (end < run_.size()) {
            const Extent grown = extent.with(*run_[end].point);
            if (grown.dispersion() > criteria_.maxDispersionPx) break;
            extent = grown;
            ++end;
        }
        if (end == run_.size() && !runEnded) {
            minX_ = extent.minX, maxX_ = extent.maxX, minY_ = extent.minY, maxY_ = extent.maxY;
            return;  // still open: more points may follow
        }
        const std::int64_t duration = run_[end - 1].timeMicros - run_[0].timeMicros;
        if (duration < criteria_.minDurationMicros) {
            run_.pop_front();
            continue;
        }
        Dwell dwell;
        dwell.startMicros = run_[0].timeMicros;
        dwell.endMicros = run_[end - 1].timeMicros;
        dwell.points = end;
        for (std::size_t i = 0; i < end; ++i) {
            dwell.x += run_[i].point->x;
            dwell.y += run_[i].point->y;
        }
        dwell.x /= static_cast<double>(end);
        dwell.y /= static_cast<double>(end);
        dwells_.push_back(dwell);
        run_.erase(run_.begin(), run_.begin() + static_cast<std::ptrdiff_t>(end));
    }
}

const std::vector<Dwell>& DwellFinder::finish() {
    settle(true);
    return dwells_;
}

std::vector<Dwell> findDwells(std::span<const TimedPoint> trace, const DwellCriteria& criteria) {
    DwellFinder finder(criteria);
    for (const TimedPoint& point : trace) finder.add(point);
    return finder.finish();
}

}  // namespace tyvarion::plot
