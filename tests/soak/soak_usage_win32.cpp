#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>

#include "soak_usage.h"

namespace tyvarion::soak {
namespace {

// Wine answers GetProcessHandleCount with 0: there the handles are counted
// one by one. Handle values are multiples of 4, handed out lowest first, so
// a long run of free values ends the table.
std::uint64_t countHandles() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) return count;
    constexpr ULONG_PTR kFreeRunThatEnds = 4 * 1024;
    std::uint64_t found = 0;
    ULONG_PTR lastFound = 0;
    for (ULONG_PTR value = 4; value <= lastFound + kFreeRunThatEnds; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++found;
            lastFound = value;
        }
    }
    return found;
}

}  // namespace

ProcessUsage processUsage() {
    ProcessUsage usage;
    // The commit charge, which Windows reports as the private bytes; Wine
    // fills it but leaves PrivateUsage 0.
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory)) usage.privateKiB = memory.PagefileUsage / 1024;
    usage.handles = countHandles();
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        THREADENTRY32 thread{};
        thread.dwSize = sizeof thread;
        for (BOOL more = Thread32First(snapshot, &thread); more; more = Thread32Next(snapshot, &thread)) {
            if (thread.th32OwnerProcessID == GetCurrentProcessId()) ++usage.threads;
        }
        CloseHandle(snapshot);
    }
    return usage;
}

std::string describe(const ProcessUsage& usage) {
    char text[128];
    std::snprintf(text, sizeof text, "private %.1f MiB, %llu handles, %llu threads",
                  static_cast<double>(usage.privateKiB) / 1024, static_cast<unsigned long long>(usage.handles),
                  static_cast<unsigned long long>(usage.threads));
    return text;
}

}  // namespace tyvarion::soak
