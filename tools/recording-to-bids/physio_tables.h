#pragma once
// The three physio tables of an export (left eye, right eye, binocular point),
// written row by row on the sampling grid: a sample that never reached the
// recording (a gap in the index) gets a row of n/a, with a time stamp between
// its neighbours', so that row k stands at StartTime + k / SamplingFrequency
// as BIDS continuous data requires.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "recording-reader/recording_reader.h"
#include "recording-to-bids/gzip_file.h"

namespace tyvarion::tools {

// No tracker samples faster: an index that jumps further than the time
// stamps allow at this rate is not a count of samples, and is not filled in.
inline constexpr std::int64_t kShortestIntervalMicros = 20;  // 50 kHz

class PhysioTables {
public:
    explicit PhysioTables(std::array<std::unique_ptr<GzipFile>, 3>& tables) : tables_(tables) {}

    // Writes the rows missing before `sample` and its own. False, with
    // `error` set, when the index jumps further than its time stamps allow.
    // Needs a sample that follows the last on one time axis (timeline.h).
    bool add(const RecordedSample& sample, std::size_t lineNumber, std::string& error);

    std::uint64_t samples() const { return samples_; }
    std::uint64_t filled() const { return filled_; }

private:
    void write(std::int64_t time, const RecordedSample* sample);

    std::array<std::unique_ptr<GzipFile>, 3>& tables_;
    std::optional<RecordedSample> last_;
    std::string row_;
    std::uint64_t samples_ = 0;
    std::uint64_t filled_ = 0;
};

void putNumber(std::string& out, double value);
void putInteger(std::string& out, std::int64_t value);

}  // namespace tyvarion::tools
