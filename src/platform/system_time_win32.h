#pragma once
// Which of kernel32's clock functions the plug-in reads. The precise one
// appeared in Windows 8; importing it would keep the module from loading on
// Windows 7 at all, so it is looked up when the clock is first read.

#include "platform/com_types.h"

namespace tyvarion::platform {

using SystemTimeFunction = void(WINAPI*)(FILETIME*);

inline constexpr char kPreciseSystemTimeName[] = "GetSystemTimePreciseAsFileTime";

// kernel32's function `name` when kernel32 exports it, else
// GetSystemTimeAsFileTime, which every Windows has.
SystemTimeFunction findSystemTimeFunction(const char* name) noexcept;

}  // namespace tyvarion::platform
