#pragma once
// The lines of the recording file. Every line ends with a single "\n"; the
// stream turns it into the platform's line end.
//
// A sample line has ten fields, each followed by ";". A coordinate pair is
// written as "INVALID;INVALID;" when its X value is the client's marker for a
// missing value, a pupil diameter as "INVALID;" when its radius is.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "client/tyapi.h"
#include "platform/com_types.h"

namespace tyvarion {

inline constexpr std::string_view kSeparatorLine = "Sep=;\n";
inline constexpr std::string_view kColumnHeaderLine =
    "timestamp [us];"
    "\tindex;"
    "\tPOR X [px];"
    "\tPOR Y [px];"
    "\tPOR Left X [px];"
    "\tPOR Left Y [px];"
    "\tPupil Diam Left [mm];"
    "\tPOR Right X [px];"
    "\tPOR Right Y [px];"
    "\tPupil Diam Right [mm]"
    "\n";

// One sample line, formatted on the stack.
class SampleLine {
public:
    explicit SampleLine(const tyapi::TYGazeSample& sample) noexcept;

    std::string_view text() const noexcept { return {buffer_.data(), length_}; }

private:
    // Two integers, eight numbers, ten separators and the line end.
    static constexpr std::size_t kCapacity = 256;

    std::array<char, kCapacity> buffer_;
    std::size_t length_;
};

// The text of a trigger line, "trigger: " and the code, without the line end.
std::string triggerText(std::int32_t code);

// The text of a message line, "message: " and the message in UTF-8, without the
// line end, each CR and LF in the message written as a space so that the
// message stays one line. A null message gives the prefix alone.
std::string messageText(const OLECHAR* message);

}  // namespace tyvarion
