#include "recording-report/intervals.h"

#include <cmath>

namespace tyvarion::tools {

std::int64_t IntervalHistogram::atRank(std::uint64_t rank) const {
    std::uint64_t seen = 0;
    for (const auto& [micros, count] : counts_) {
        seen += count;
        if (seen >= rank) return micros;
    }
    return counts_.rbegin()->first;
}

std::optional<double> IntervalHistogram::median() const {
    if (total_ == 0) return std::nullopt;
    const std::int64_t low = atRank((total_ + 1) / 2);
    const std::int64_t high = atRank(total_ / 2 + 1);
    return (static_cast<double>(low) + static_cast<double>(high)) / 2;
}

std::optional<std::int64_t> IntervalHistogram::percentile(double share) const {
    if (total_ == 0) return std::nullopt;
    const auto rank = static_cast<std::uint64_t>(std::ceil(share * static_cast<double>(total_)));
    return atRank(rank == 0 ? 1 : rank);
}

std::optional<std::int64_t> IntervalHistogram::maximum() const {
    if (total_ == 0) return std::nullopt;
    return counts_.rbegin()->first;
}

IntervalGaps IntervalHistogram::gaps() const {
    IntervalGaps gaps;
    const auto middle = median();
    if (!middle) return gaps;
    gaps.thresholdMicros = 1.5 * *middle;
    for (auto it = counts_.upper_bound(static_cast<std::int64_t>(std::floor(gaps.thresholdMicros)));
         it != counts_.end(); ++it) {
        gaps.count += it->second;
        gaps.totalMicros += it->first * static_cast<std::int64_t>(it->second);
        gaps.longestMicros = it->first;
    }
    return gaps;
}

}  // namespace tyvarion::tools
