#pragma once
// One value over time (a coordinate, a pupil's diameter) reduced, as it
// streams in, to at most kBins bins. Each bin keeps its first, last, lowest
// and highest value with their times, so a line through them looks, at a
// picture's resolution, like the line through every sample. When the span
// outgrows the bins, neighbours merge and each bin covers twice the time:
// the memory stays the same at any length. A bin with sample lines but no
// value is a gap; a bin without sample lines is none (the line runs on).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tyvarion::plot {

struct TimedValue {
    std::int64_t timeMicros = 0;
    double value = 0;
};

struct Bin {
    std::size_t lines = 0;   // sample lines that fell into it
    std::size_t values = 0;  // of which had a value
    TimedValue first, last, low, high;
};

class BinnedSeries {
public:
    static constexpr std::size_t kBins = 1024;
    static constexpr std::int64_t kFirstWidthMicros = 1000;

    void add(std::int64_t timeMicros, std::optional<double> value);

    // In time order; bins without lines are empty ones (lines == 0).
    const std::vector<Bin>& bins() const { return bins_; }
    std::int64_t widthMicros() const { return widthMicros_; }
    std::optional<double> lowest() const { return lowest_; }
    std::optional<double> highest() const { return highest_; }

    // What a line through the bins passes: per bin with values its first,
    // extremes in the order they came, and last; nullopt for a gap.
    std::vector<std::optional<TimedValue>> points() const;

private:
    void halve();

    std::optional<std::int64_t> origin_;
    std::int64_t widthMicros_ = kFirstWidthMicros;
    std::vector<Bin> bins_;
    std::optional<double> lowest_;
    std::optional<double> highest_;
};

}  // namespace tyvarion::plot
