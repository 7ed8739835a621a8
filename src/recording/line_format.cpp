#include "recording/line_format.h"

#include <algorithm>
#include <cstring>

#include "platform/text.h"
#include "recording/number_format.h"

namespace tyvarion {
namespace {

constexpr std::string_view kInvalidPair = "INVALID;INVALID;";
constexpr std::string_view kInvalidSingle = "INVALID;";

char* put(char* out, std::string_view text) noexcept {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

char* putNumber(char* out, double value) noexcept {
    out = formatDouble(out, value);
    *out++ = ';';
    return out;
}

char* putPair(char* out, double x, double y) noexcept {
    if (x == tyapi::invalidValue()) return put(out, kInvalidPair);
    return putNumber(putNumber(out, x), y);
}

char* putDiameter(char* out, double radius) noexcept {
    if (radius == tyapi::invalidValue()) return put(out, kInvalidSingle);
    return putNumber(out, 2 * radius);
}

}  // namespace

SampleLine::SampleLine(const tyapi::TYGazeSample& sample) noexcept {
    static_assert(kCapacity >= 10 * (kMaxNumberLength + 1) + 1);
    char* out = buffer_.data();
    out = formatInteger(out, sample.timestampMicroSec);
    *out++ = ';';
    out = formatInteger(out, sample.index);
    *out++ = ';';
    out = putPair(out, sample.porX, sample.porY);
    out = putPair(out, sample.porLeftX, sample.porLeftY);
    out = putDiameter(out, sample.pupilRadiusLeft);
    out = putPair(out, sample.porRightX, sample.porRightY);
    out = putDiameter(out, sample.pupilRadiusRight);
    *out++ = '\n';
    length_ = static_cast<std::size_t>(out - buffer_.data());
}

std::string triggerText(std::int32_t code) {
    constexpr std::string_view kPrefix = "trigger: ";
    char number[kMaxNumberLength];
    const std::string_view digits(number,
                                  static_cast<std::size_t>(formatInteger(number, code) - number));
    std::string text;
    text.reserve(kPrefix.size() + digits.size());
    text.append(kPrefix).append(digits);
    return text;
}

std::string messageText(const OLECHAR* message) {
    std::string text = "message: " + utf16ToUtf8(message);
    // A line break inside the message would start a line of its own that a
    // reader takes for a sample or a trigger; one message stays one line.
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return text;
}

}  // namespace tyvarion
