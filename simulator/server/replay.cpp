#include "server/replay.h"

#include <array>
#include <charconv>
#include <cstring>

namespace tyvarion::sim {
namespace {

constexpr std::size_t kFields = 10;

template <typename T>
bool integer(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

bool real(std::string_view text, double& value) {
    if (text == "INVALID") {
        value = tyapi::TYInvalidValue;
        return true;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

}  // namespace

std::optional<tyapi::TYGazeSample> parseSampleLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::array<std::string_view, kFields> fields;
    std::size_t count = 0;
    while (!line.empty()) {
        const std::size_t separator = line.find(';');
        if (separator == std::string_view::npos || count == kFields) return std::nullopt;
        fields[count++] = line.substr(0, separator);
        line.remove_prefix(separator + 1);
    }
    if (count != kFields) return std::nullopt;

    tyapi::TYGazeSample sample;
    std::memset(&sample, 0, sizeof sample);
    double pupilLeft = 0;
    double pupilRight = 0;
    if (!integer(fields[0], sample.timestampMicroSec) || !integer(fields[1], sample.index) ||
        !real(fields[2], sample.porX) || !real(fields[3], sample.porY) ||
        !real(fields[4], sample.porLeftX) || !real(fields[5], sample.porLeftY) ||
        !real(fields[6], pupilLeft) || !real(fields[7], sample.porRightX) ||
        !real(fields[8], sample.porRightY) || !real(fields[9], pupilRight))
        return std::nullopt;
    const double invalid = tyapi::TYInvalidValue;
    sample.pupilRadiusLeft = pupilLeft == invalid ? invalid : pupilLeft / 2;
    sample.pupilRadiusRight = pupilRight == invalid ? invalid : pupilRight / 2;
    return sample;
}

LineReader::LineReader(const std::string& path) : stream_(path, std::ios::binary) {}

bool LineReader::next(std::string& line, bool& overlong) {
    line.clear();
    overlong = false;
    bool any = false;
    for (int c = stream_.get(); c != std::char_traits<char>::eof(); c = stream_.get()) {
        any = true;
        if (c == '\n') return true;
        if (line.size() < kMaxLine)
            line.push_back(static_cast<char>(c));
        else
            overlong = true;
    }
    return any;
}

}  // namespace tyvarion::sim
