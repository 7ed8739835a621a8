#include "server/log.h"

#include <cstdio>
#include <mutex>

namespace tyvarion::sim {

void logLine(std::string_view line) {
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace tyvarion::sim
