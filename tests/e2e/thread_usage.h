#pragma once
// What each thread of this process has cost so far, from the kernel's
// per-thread counters: time on a processor (schedstat, in nanoseconds) and how
// often the thread went to sleep by itself (voluntary context switches), which
// is how often something had to wake it.

#include <cstdint>
#include <string>
#include <vector>

namespace tyvarion::e2e {

struct ThreadCounters {
    int tid = 0;
    std::string name;
    std::uint64_t runNanos = 0;
    std::uint64_t sleeps = 0;       // voluntary context switches
    std::uint64_t preemptions = 0;  // involuntary ones
};

// Every thread of this process, now.
std::vector<ThreadCounters> threadCounters();

// The calling thread's id as the kernel knows it.
int currentThreadId();

}  // namespace tyvarion::e2e
