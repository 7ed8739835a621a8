#include "recording-to-bids/physio_tables.h"

#include <charconv>
#include <cmath>

namespace tyvarion::tools {
namespace {

constexpr const char* kMissing = "n/a";

void putPoint(std::string& row, const std::optional<GazePoint>& point) {
    row += '\t';
    if (!point) {
        row += "n/a\tn/a";
        return;
    }
    putNumber(row, point->x);
    row += '\t';
    putNumber(row, point->y);
}

void putPupil(std::string& row, const std::optional<double>& pupil) {
    row += '\t';
    if (pupil) putNumber(row, *pupil); else row += kMissing;
}

}  // namespace

void putNumber(std::string& out, double value) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    out.append(buffer, end);
}

void putInteger(std::string& out, std::int64_t value) {
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    out.append(buffer, end);
}

void PhysioTables::write(std::int64_t time, const RecordedSample* sample) {
    const std::optional<GazePoint> none;
    const std::optional<double> noPupil;
    for (std::size_t table = 0; table < 3; ++table) {
        row_.clear();
        putInteger(row_, time);
        if (table == 0) {
            putPoint(row_, sample ? sample->left : none);
            putPupil(row_, sample ? sample->pupilLeftMm : noPupil);
        } else if (table == 1) {
            putPoint(row_, sample ? sample->right : none);
            putPupil(row_, sample ? sample->pupilRightMm : noPupil);
        } else {
            putPoint(row_, sample ? sample->gaze : none);
        }
        row_ += '\n';
        tables_[table]->write(row_);
    }
}

bool PhysioTables::add(const RecordedSample& sample, std::size_t lineNumber, std::string& error) {
    if (last_) {
        const std::int64_t step = std::int64_t{sample.index} - last_->index;
        const std::int64_t span = sample.timeMicros - last_->timeMicros;
        if (step - 1 > span / kShortestIntervalMicros) {
            error = "the index jumps by " + std::to_string(step) + " at line " + std::to_string(lineNumber) +
                    " while the time stamps move by " + std::to_string(span) +
                    " us: the gap cannot be placed on the sampling grid";
            return false;
        }
        for (std::int64_t k = 1; k < step; ++k) {
            // Rounded to the nearest microsecond, between the neighbours' stamps.
            const double offset = static_cast<double>(span) * static_cast<double>(k) / static_cast<double>(step);
            write(last_->timeMicros + std::llround(offset), nullptr);
            ++filled_;
        }
    }
    write(sample.timeMicros, &sample);
    ++samples_;
    last_ = sample;
    return true;
}

}  // namespace tyvarion::tools
