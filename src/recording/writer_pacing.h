#pragma once
// When the recording writer wakes for queued entries.
//
// The writer is woken in batches: after it has taken entries it lingers, and
// comes back when the queue reaches the wake mark or when its deadline has
// passed, whichever is first. Only a writer that found nothing at its deadline
// sleeps without one; the next entry then wakes it at once, so entries further
// apart than the deadline cost at most two wake-ups each. Stop, restart and
// teardown do not wait for it: they wake it, or write what is queued themselves.
//
// The deadline sets the writer's cost while a tracker streams: it wakes once
// per deadline at any rate that does not reach the mark within it, and nearly
// all of a wake-up's cost is fixed. Measured end to end at 2,000 Hz on a shared
// two-core machine (load about 10), per deadline: 5 ms, 176 to 180 wake-ups/s
// and 0.61 to 0.76 % of a core; 10 ms, 93 to 96/s and 0.49 to 0.77 %; 20 ms,
// 47/s and 0.33 to 0.35 %; 40 ms, 23 to 25/s and 0.13 to 0.25 %; 50 ms, 20/s and
// 0.14 to 0.24 %, no better. That is 50 to 80 us a wake-up against 0.19 us a
// line. 40 ms is where the cost stops falling. It also bounds what a host
// process that dies takes with it: each batch goes to the system in one write
// at its end, so only entries of the last deadline and the batch being
// written are lost, well under 100 ms; every close writes what is queued.
//
// The mark matters only for fast streams, where it keeps room in the queue for
// the time the scheduler takes to run the woken writer: at 1,024 of 16,384
// entries, 15 ms of a 1 MHz stream. It lies above what 10,000 Hz gathers in one
// deadline (400), so that tracker rates are paced by the deadline alone; at
// 50,000 Hz it wakes the writer about 50 times a second.
//
// Built with TYVARION_WRITER_WAKES_PER_ENTRY, the writer uses the earlier
// policy instead, kept to measure both side by side: it is woken for every
// entry that finds it asleep, and after a wake-up that came soon it polls a
// moment for the next entry before it sleeps again.

#include <chrono>
#include <cstddef>

namespace tyvarion {

#ifdef TYVARION_WRITER_WAKES_PER_ENTRY
inline constexpr bool kWriterWakesPerEntry = true;
#else
inline constexpr bool kWriterWakesPerEntry = false;
#endif

inline constexpr std::chrono::milliseconds kWriterDeadline{40};
inline constexpr std::size_t kWriterWakeMark = 1024;

// The earlier policy's poll: how soon after the writer went to sleep a wake-up
// must come for it to poll, and how long it then polls.
inline constexpr std::chrono::microseconds kWriterPollWindow{50};

}  // namespace tyvarion
