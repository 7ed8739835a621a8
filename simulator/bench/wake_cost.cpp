// What one wake-up costs on this machine, natively: the processor time a
// thread spends per wake when a timer wakes it 1,000 times a second, and when
// another thread wakes it as often through a pipe (as data arriving on a
// socket would). bench-wine prints it beside the plug-in's figures: a client
// thread that must hand on samples within a millisecond wakes at least that
// often, so these are the floor under its cost, measured in the same run.
//
// Prints one line: "<timer ns per wake> <pipe ns per wake>". Linux only: the
// thread's own run time comes from /proc/thread-self/schedstat.
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <thread>

namespace {

constexpr int kWakes = 3000;
constexpr long kPeriodNanos = 1'000'000;

std::int64_t threadRunNanos() {
    std::ifstream stat("/proc/thread-self/schedstat");
    std::int64_t nanos = -1;
    stat >> nanos;
    return nanos;
}

void advance(timespec& time) {
    time.tv_nsec += kPeriodNanos;
    if (time.tv_nsec >= 1'000'000'000) {
        time.tv_nsec -= 1'000'000'000;
        ++time.tv_sec;
    }
}

// A steady 1 kHz beat of absolute deadlines, calling `tick` at each.
template <typename Tick>
void beat(Tick tick) {
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (int i = 0; i < kWakes; ++i) {
        advance(next);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) == EINTR) {
        }
        tick();
    }
}

// Per wake, or -1 when the thread's run time cannot be read.
std::int64_t perWake(std::int64_t before, std::int64_t after) {
    return before < 0 || after < 0 ? -1 : (after - before) / kWakes;
}

std::int64_t timerWakeNanos() {
    const std::int64_t before = threadRunNanos();
    beat([] {});
    return perWake(before, threadRunNanos());
}

std::int64_t pipeWakeNanos() {
    int ends[2];
    if (pipe(ends) != 0) return -1;
    std::thread writer([&] {
        beat([&] {
            const char byte = 1;
            while (write(ends[1], &byte, 1) != 1) {
            }
        });
    });
    const std::int64_t before = threadRunNanos();
    int woken = 0;
    char byte = 0;
    while (woken < kWakes && read(ends[0], &byte, 1) == 1) ++woken;
    const std::int64_t cost = perWake(before, threadRunNanos());
    writer.join();
    close(ends[0]);
    close(ends[1]);
    return woken == kWakes ? cost : -1;
}

}  // namespace

int main() {
    const std::int64_t timer = timerWakeNanos();
    const std::int64_t pipe = pipeWakeNanos();
    if (timer < 0 || pipe < 0) {
        std::fprintf(stderr, "wake-cost: could not measure (no /proc/thread-self/schedstat?)\n");
        return 1;
    }
    std::printf("%lld %lld\n", static_cast<long long>(timer), static_cast<long long>(pipe));
    return 0;
}
