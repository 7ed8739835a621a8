// The Windows clock's choice of kernel32 function (Windows builds only).
#ifdef _WIN32

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/system_time_win32.h"

namespace {

using tyvarion::platform::findSystemTimeFunction;
using tyvarion::platform::SystemTimeFunction;

std::uint64_t ticks(FILETIME time) {
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

SystemTimeFunction exported(const char* name) {
    const FARPROC found = ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name);
    return reinterpret_cast<SystemTimeFunction>(reinterpret_cast<void (*)()>(found));
}

TEST(SystemTime, WithoutThePreciseFunctionTheClockFallsBackToTheSystemTime) {
    // A kernel32 without the function, as on Windows 7.
    const SystemTimeFunction read = findSystemTimeFunction("GetSystemTimePreciseAsFileTimeMissing");
    ASSERT_EQ(&::GetSystemTimeAsFileTime, read);

    FILETIME before{}, now{}, after{};
    ::GetSystemTimeAsFileTime(&before);
    read(&now);
    ::GetSystemTimeAsFileTime(&after);
    EXPECT_LE(ticks(before), ticks(now));
    EXPECT_LE(ticks(now), ticks(after));
}

TEST(SystemTime, ThePreciseFunctionIsUsedWhereKernel32HasIt) {
    const SystemTimeFunction precise = exported(tyvarion::platform::kPreciseSystemTimeName);
    const SystemTimeFunction read = findSystemTimeFunction(tyvarion::platform::kPreciseSystemTimeName);
    if (precise != nullptr) {
        EXPECT_EQ(precise, read);  // Windows 8 and later, and Wine
    } else {
        EXPECT_EQ(&::GetSystemTimeAsFileTime, read);  // Windows 7
    }
}

}  // namespace

#endif  // _WIN32
