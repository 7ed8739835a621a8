#pragma once
// Numbers as the recording file writes them: integers in plain decimal, doubles
// exactly as printf's "%.6g" writes them in the classic locale. No locale, no
// allocation: callers format into a stack buffer.

#include <cstddef>
#include <cstdint>

namespace tyvarion {

// Room for the longest "%.6g" text ("-1.79769e+308", "-nan") and for any
// 64-bit integer.
inline constexpr std::size_t kMaxNumberLength = 24;

// Each writes at `first`, which has kMaxNumberLength bytes of room, and returns
// the end of what it wrote.
char* formatDouble(char* first, double value) noexcept;
char* formatInteger(char* first, std::int64_t value) noexcept;

}  // namespace tyvarion
