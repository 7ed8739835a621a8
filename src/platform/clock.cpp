#include "platform/clock.h"

#include <atomic>

#ifdef _WIN32
#include "platform/system_time_win32.h"
#else
#include <ctime>
#endif

namespace tyvarion::platform {
namespace {
std::atomic<FileTimeSource> installedSource{nullptr};
}

std::uint64_t systemFileTime() {
#ifdef _WIN32
    static const SystemTimeFunction readSystemTime = findSystemTimeFunction(kPreciseSystemTimeName);
    FILETIME now{};
    readSystemTime(&now);
    return (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
#else
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000;
    return kUnixEpochAsFileTime + static_cast<std::uint64_t>(now.tv_sec) * 10'000'000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 100u;
#endif
}

void setFileTimeSource(FileTimeSource source) { installedSource.store(source); }

std::uint64_t currentFileTime() {
    const FileTimeSource source = installedSource.load();
    return source != nullptr ? source() : systemFileTime();
}

}  // namespace tyvarion::platform
