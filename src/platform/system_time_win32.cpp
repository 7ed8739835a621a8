#include "platform/system_time_win32.h"

namespace tyvarion::platform {

SystemTimeFunction findSystemTimeFunction(const char* name) noexcept {
    const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
    const FARPROC found = kernel32 != nullptr ? ::GetProcAddress(kernel32, name) : nullptr;
    if (found == nullptr) return &::GetSystemTimeAsFileTime;
    // Through the generic function pointer type, which converts to any other without a warning.
    return reinterpret_cast<SystemTimeFunction>(reinterpret_cast<void (*)()>(found));
}

}  // namespace tyvarion::platform
