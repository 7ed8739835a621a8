#pragma once
// What this process costs the machine, read from the kernel: resident memory
// now and at its peak, and processor time spent on all threads.

#include <cstdint>

namespace tyvarion::e2e {

// Resident set size in KiB, now (VmRSS) and at its highest so far (VmHWM); 0
// when it cannot be read.
std::uint64_t residentKiB();
std::uint64_t peakResidentKiB();

// User plus system time of every thread of the process, in microseconds.
std::int64_t processorMicros();

}  // namespace tyvarion::e2e
