// How the writer thread waits for queued entries: in batches (the writer's
// linger, its deadline and the queue's wake mark), or under the earlier policy
// for every entry. writer_pacing.h gives the reasons for both.
#include <thread>

#include "recording/record_queue.h"
#include "recording/writer_pacing.h"
#include "tracker/tyvarion.h"

namespace tyvarion {

std::chrono::steady_clock::time_point Tyvarion::writerNow() const noexcept {
    return std::chrono::steady_clock::now() + writerClockShift;
}

void Tyvarion::waitForEntries(std::unique_lock<std::mutex>& lock, WriterWait& wait) {
    if constexpr (kWriterWakesPerEntry) {
        waitForEachEntry(lock, wait.streaming);
        return;
    }
    while (!stopWriter) {
        if (!wait.lingerUntil) {
            if (!recordQueue.empty()) return;
            recordQueue.setWriterState(WriterState::asleep);
            recordCondition.wait(lock);
        } else {
            if (recordQueue.size() >= recordQueue.wakeMark()) return;
            const auto left = *wait.lingerUntil - writerNow();
            if (left <= std::chrono::steady_clock::duration::zero()) {
                // Whatever came during the linger is due now; when nothing
                // came, the next entry wakes us.
                wait.lingerUntil.reset();
                if (!recordQueue.empty()) return;
                continue;
            }
            recordQueue.setWriterState(WriterState::lingering);
            recordCondition.wait_for(lock, left);
        }
        recordQueue.setWriterState(WriterState::busy);
    }
}

void Tyvarion::waitForEachEntry(std::unique_lock<std::mutex>& lock, bool& streaming) {
    // True while entries arrive close together. The writer then polls for a
    // moment before it sleeps: a fast stream would otherwise cost a wake-up per
    // entry and overrun the queue during each wake-up's delay.
    while (!stopWriter && recordQueue.empty()) {
        if (streaming && pollRecordQueue(lock)) continue;
        if (stopWriter) return;
        const auto sleptAt = std::chrono::steady_clock::now();
        recordQueue.setWriterState(WriterState::asleep);
        recordCondition.wait(lock);
        recordQueue.setWriterState(WriterState::busy);
        streaming = std::chrono::steady_clock::now() - sleptAt < kWriterPollWindow;
    }
}

bool Tyvarion::pollRecordQueue(std::unique_lock<std::mutex>& lock) {
    const auto deadline = std::chrono::steady_clock::now() + kWriterPollWindow;
    lock.unlock();
    do {
        std::this_thread::yield();
        // A producer holding the lock is about to queue something: no need to
        // wait for it here.
        if (lock.try_lock()) {
            if (!recordQueue.empty() || stopWriter) return true;
            lock.unlock();
        }
    } while (std::chrono::steady_clock::now() < deadline);
    lock.lock();
    return !recordQueue.empty() || stopWriter;
}

}  // namespace tyvarion
