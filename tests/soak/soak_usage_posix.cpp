#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "soak_usage.h"

namespace tyvarion::soak {

ProcessUsage processUsage() {
    ProcessUsage usage;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("RssAnon:", 0) == 0) usage.privateKiB = std::stoull(line.substr(8));
        if (line.rfind("Threads:", 0) == 0) usage.threads = std::stoull(line.substr(8));
    }
    std::error_code error;
    for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end;
         it.increment(error))
        ++usage.handles;
    return usage;
}

std::string describe(const ProcessUsage& usage) {
    char text[128];
    std::snprintf(text, sizeof text, "private %.1f MiB, %llu descriptors, %llu threads",
                  static_cast<double>(usage.privateKiB) / 1024, static_cast<unsigned long long>(usage.handles),
                  static_cast<unsigned long long>(usage.threads));
    return text;
}

}  // namespace tyvarion::soak
