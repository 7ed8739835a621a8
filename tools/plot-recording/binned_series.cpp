#include "plot-recording/binned_series.h"

#include <algorithm>

namespace tyvarion::plot {
namespace {

Bin merged(const Bin& a, const Bin& b) {
    if (a.values == 0 || b.values == 0) {
        Bin result = a.values != 0 ? a : b;
        result.lines = a.lines + b.lines;
        result.values = a.values + b.values;
        return result;
    }
    Bin result;
    result.lines = a.lines + b.lines;
    result.values = a.values + b.values;
    result.first = a.first;
    result.last = b.last;
    result.low = b.low.value < a.low.value ? b.low : a.low;
    result.high = b.high.value > a.high.value ? b.high : a.high;
    return result;
}

}  // namespace

void BinnedSeries::add(std::int64_t timeMicros, std::optional<double> value) {
    if (!origin_) origin_ = timeMicros;
    // A step back in time lands in the first bin; nothing is dropped.
    const std::int64_t offset = std::max<std::int64_t>(timeMicros - *origin_, 0);
    while (offset / widthMicros_ >= static_cast<std::int64_t>(kBins)) halve();
    const auto index = static_cast<std::size_t>(offset / widthMicros_);
    if (bins_.size() <= index) bins_.resize(index + 1);
    Bin& bin = bins_[index];
    ++bin.lines;
    if (!value) return;
    const TimedValue point{timeMicros, *value};
    if (bin.values++ == 0) {
        bin.first = bin.last = bin.low = bin.high = point;
    } else {
        bin.last = point;
        if (point.value < bin.low.value) bin.low = point;
        if (point.value > bin.high.value) bin.high = point;
    }
    lowest_ = lowest_ ? std::min(*lowest_, *value) : *value;
    highest_ = highest_ ? std::max(*highest_, *value) : *value;
}

void BinnedSeries::halve() {
    std::vector<Bin> wider((bins_.size() + 1) / 2);
    for (std::size_t i = 0; i < bins_.size(); ++i) wider[i / 2] = i % 2 == 0 ? bins_[i] : merged(wider[i / 2], bins_[i]);
    bins_ = std::move(wider);
    widthMicros_ *= 2;
}

std::vector<std::optional<TimedValue>> BinnedSeries::points() const {
    std::vector<std::optional<TimedValue>> result;
    for (const Bin& bin : bins_) {
        if (bin.lines == 0) continue;
        if (bin.values == 0) {
            if (!result.empty() && result.back()) result.push_back(std::nullopt);
            continue;
        }
        const bool lowFirst = bin.low.timeMicros <= bin.high.timeMicros;
        for (const TimedValue& point : {bin.first, lowFirst ? bin.low : bin.high, lowFirst ? bin.high : bin.low,
                                        bin.last}) {
            if (result.empty() || !result.back() || result.back()->timeMicros != point.timeMicros ||
                result.back()->value != point.value)
                result.push_back(point);
        }
    }
    return result;
}

}  // namespace tyvarion::plot
