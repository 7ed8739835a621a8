#pragma once
// What the soak's host process holds of the machine, sampled between
// sessions: memory of its own, open handles and threads. On Windows the
// private bytes (the commit charge, PagefileUsage), the handle count and the
// process's threads;
// natively the anonymous resident memory (RssAnon), open descriptors and
// threads. Zero where a value cannot be read.

#include <cstdint>
#include <string>

namespace tyvarion::soak {

struct ProcessUsage {
    std::uint64_t privateKiB = 0;
    std::uint64_t handles = 0;
    std::uint64_t threads = 0;
};

ProcessUsage processUsage();

// "private 12.3 MiB, 140 handles, 7 threads" (natively "descriptors").
std::string describe(const ProcessUsage& usage);

}  // namespace tyvarion::soak
