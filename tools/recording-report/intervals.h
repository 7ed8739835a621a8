#pragma once
// The intervals between consecutive time stamps, kept as a count per distinct
// interval: a tracker's intervals take a handful of values, so an hour of
// samples costs a few entries, and the median and percentiles come out exact.

#include <cstdint>
#include <map>
#include <optional>

namespace tyvarion::tools {

struct IntervalGaps {
    double thresholdMicros = 0;  // 1.5 times the median
    std::uint64_t count = 0;
    std::int64_t totalMicros = 0;
    std::int64_t longestMicros = 0;
};

class IntervalHistogram {
public:
    void add(std::int64_t micros) {
        ++counts_[micros];
        ++total_;
    }
    std::uint64_t count() const { return total_; }

    // The middle value, or the mean of the two middle values; nullopt when empty.
    std::optional<double> median() const;
    // The smallest interval that at least `share` (0 to 1) of all intervals do
    // not exceed (nearest rank).
    std::optional<std::int64_t> percentile(double share) const;
    std::optional<std::int64_t> maximum() const;
    // Intervals longer than 1.5 times the median.
    IntervalGaps gaps() const;

private:
    // The value at a rank counted from 1.
    std::int64_t atRank(std::uint64_t rank) const;

    std::map<std::int64_t, std::uint64_t> counts_;
    std::uint64_t total_ = 0;
};

}  // namespace tyvarion::tools
