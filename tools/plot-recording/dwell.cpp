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

std::vector<Dwell> findDwells(std::span<const TimedPoint> trace, const DwellCriteria& criteria) {
    std::vector<Dwell> dwells;
    std::size_t start = 0;
    while (start < trace.size()) {
        if (!trace[start].point) {
            ++start;
            continue;
        }
        // Grow the window while it stays compact.
        Extent extent(*trace[start].point);
        std::size_t end = start + 1;
        while (end < trace.size() && trace[end].point) {
            const Extent grown = extent.with(*trace[end].point);
            if (grown.dispersion() > criteria.maxDispersionPx) break;
            extent = grown;
            ++end;
        }
        const std::int64_t duration = trace[end - 1].timeMicros - trace[start].timeMicros;
        if (duration < criteria.minDurationMicros) {
            ++start;
            continue;
        }
        Dwell dwell;
        dwell.startMicros = trace[start].timeMicros;
        dwell.endMicros = trace[end - 1].timeMicros;
        dwell.points = end - start;
        for (std::size_t i = start; i < end; ++i) {
            dwell.x += trace[i].point->x;
            dwell.y += trace[i].point->y;
        }
        dwell.x /= static_cast<double>(dwell.points);
        dwell.y /= static_cast<double>(dwell.points);
        dwells.push_back(dwell);
        start = end;
    }
    return dwells;
}

}  // namespace tyvarion::plot
