#include "process_usage.h"

#include <sys/resource.h>

#include <fstream>
#include <string>

namespace tyvarion::e2e {
namespace {

std::uint64_t statusField(const std::string& name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(name + ":", 0) == 0) return std::stoull(line.substr(name.size() + 1));
    }
    return 0;
}

std::int64_t micros(const timeval& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000 + time.tv_usec;
}

}  // namespace

std::uint64_t residentKiB() { return statusField("VmRSS"); }
std::uint64_t peakResidentKiB() { return statusField("VmHWM"); }

std::int64_t processorMicros() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return micros(usage.ru_utime) + micros(usage.ru_stime);
}

}  // namespace tyvarion::e2e
