#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>

#include "soak_usage.h"

namespace tyvarion::soak {

ProcessUsage processUsage() {
    ProcessUsage usage;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                             sizeof memory))
        usage.privateKiB = memory.PrivateUsage / 1024;
    DWORD handles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &handles)) usage.handles = handles;
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
