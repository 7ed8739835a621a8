#pragma once
// Conversion of the host's UTF-16 text to the narrow UTF-8 text of files.

#include <cstddef>
#include <string>

#include "platform/com_types.h"

namespace tyvarion {

using olestring = std::basic_string<OLECHAR>;

// Converts up to `length` UTF-16 units. Unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(const OLECHAR* text, std::size_t length);

// Converts a null-terminated string, never reading past its terminator. A null
// pointer gives the empty string.
std::string utf16ToUtf8(const OLECHAR* text);

}  // namespace tyvarion
