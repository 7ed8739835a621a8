#pragma once
// The wall clock as a Windows FILETIME (100 ns units since 1601-01-01 UTC), with
// a process-wide hook so tests can fix the time to exact values.

#include <cstdint>

namespace tyvarion::platform {

using FileTimeSource = std::uint64_t (*)();

// The system's own clock, at the best resolution it offers.
std::uint64_t systemFileTime();

// Replaces the clock for the whole process; nullptr restores the system clock.
void setFileTimeSource(FileTimeSource source);

// The current time from the installed source.
std::uint64_t currentFileTime();

// FILETIME to microseconds since 1970-01-01 UTC, truncated toward zero.
constexpr std::int64_t fileTimeToUnixMicroseconds(std::uint64_t fileTime) {
    constexpr std::int64_t kUnixEpochAsFileTime = 116444736000000000;
    return (static_cast<std::int64_t>(fileTime) - kUnixEpochAsFileTime) / 10;
}

}  // namespace tyvarion::platform
