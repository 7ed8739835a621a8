#pragma once
// When the recording writer wakes for queued entries.
//
// The writer is woken in batches: after it has taken entries it lingers, and
// comes back when the queue reaches the wake mark or when its deadline has
// passed, whichever is first. Only a writer that found nothing at its deadline
// sleeps without one; the next entry then wakes it at once. Stop, restart and
// teardown do not wait for it: they wake it, or write what is queued themselves.
//
// The deadline sets the wake-ups while a tracker streams: one per deadline at
// any rate the mark is not reached within it. MEASUREMENTS
//
// The mark matters only for fast streams, where it keeps room in the queue for
// the time the scheduler takes to run the woken writer. MEASUREMENTS
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

inline constexpr std::chrono::milliseconds kWriterDeadline{10};
inline constexpr std::size_t kWriterWakeMark = 1024;

// The earlier policy's poll: how soon after the writer went to sleep a wake-up
// must come for it to poll, and how long it then polls.
inline constexpr std::chrono::microseconds kWriterPollWindow{50};

}  // namespace tyvarion
