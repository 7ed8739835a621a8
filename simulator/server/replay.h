#pragma once
// Reading a recording file back: the header, text lines (triggers, messages)
// and anything else that is not a sample line are skipped.

#include <cstddef>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "client/tyapi.h"

namespace tyvarion::sim {

// "1500;42;959.5;540.25;957;541;6.4;INVALID;INVALID;6.5;" (ten fields, each
// followed by ";", an optional carriage return). Pupil columns hold diameters;
// the sample gets radii. "INVALID" becomes TYInvalidValue.
std::optional<tyapi::TYGazeSample> parseSampleLine(std::string_view line);

// Reads a file line by line, no line longer than kMaxLine kept in memory.
class LineReader {
public:
    static constexpr std::size_t kMaxLine = 4096;

    explicit LineReader(const std::string& path);
    bool isOpen() const { return stream_.is_open(); }
    // The next line without its "\n"; false at the end of the file. A line
    // longer than kMaxLine comes back cut, with `overlong` set.
    bool next(std::string& line, bool& overlong);

private:
    std::ifstream stream_;
};

}  // namespace tyvarion::sim
