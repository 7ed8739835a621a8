// The recording writer thread, its teardown, and the two host methods that
// queue text lines.
//
// Producers (sample intake, SendTrigger, SendString) push under recordMutex
// with the shared drop-oldest rule and wake the writer when it sleeps. The
// writer takes every queued entry in one step, by exchanging the queue's ring
// with its own empty one, and formats and writes them without recordMutex: a
// producer never waits for a line or for the disk. While the writer holds
// entries it alone touches the file; whoever closes the file waits until it
// holds none, then writes what is still queued itself. Entries found while no
// file is open are discarded.
#include <chrono>
#include <string>
#include <thread>

#include "recording/line_format.h"
#include "recording/record_queue.h"
#include "recording/recording_stream.h"
#include "tracker/host_call.h"
#include "tracker/tyvarion.h"

namespace tyvarion {
namespace {

// How close together entries must come for the writer to poll for the next one
// instead of sleeping, and how long it polls.
constexpr std::chrono::microseconds kWriterPollWindow{50};

void writeEntry(RecordingStream& file, const RecordingEntry& entry) noexcept {
    if (entry.sample) {
        file.write(SampleLine(*entry.sample).text());
    } else if (entry.text) {
        file.write(*entry.text);
        file.write("\n");
    }
}

}  // namespace

void Tyvarion::writerLoop(RecordQueue taken) {
    // True while entries arrive close together. The writer then polls for a
    // moment before it sleeps: a fast stream would otherwise cost a wake-up per
    // entry and overrun the queue during each wake-up's delay. At a tracker's
    // usual rates entries are further apart and the writer simply sleeps.
    bool streaming = false;
    std::unique_lock lock(recordMutex);
    while (!stopWriter) {
        if (recordQueue.empty()) {
            if (streaming && pollRecordQueue(lock)) continue;
            // Teardown sets stopWriter under recordMutex, so this test cannot
            // miss the wake-up that follows it.
            if (stopWriter) break;
            const auto sleptAt = std::chrono::steady_clock::now();
            recordQueue.setWriterAsleep(true);
            recordCondition.wait(lock);
            recordQueue.setWriterAsleep(false);
            streaming = std::chrono::steady_clock::now() - sleptAt < kWriterPollWindow;
            continue;
        }
        if (!recordFile) {
            recordQueue.clear();
            continue;
        }
        if (recordFile->closing()) {
            // The closer writes what is queued itself; it wakes us when done.
            recordCondition.wait(lock);
            continue;
        }

        RecordingStream& file = *recordFile;
        recordQueue.swapEntries(taken);
        file.setWriterHoldsEntries(true);
        lock.unlock();
        // A closer waits for these entries, so `file` stays open meanwhile.
        for (const RecordingEntry& entry : taken) writeEntry(file, entry);
        taken.clear();
        lock.lock();
        file.setWriterHoldsEntries(false);
        if (file.closing()) recordCondition.notify_all();
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

void Tyvarion::closeRecordFile(std::unique_lock<std::mutex>& lock) noexcept {
    if (recordFile) {
        // Lines the writer has taken for this file come before those queued.
        recordFile->markClosing();
        recordCondition.wait(lock, [this] { return !recordFile->writerHoldsEntries(); });
        for (const RecordingEntry& entry : recordQueue) writeEntry(*recordFile, entry);
        recordFile->close();
        recordFile.reset();
        recordCondition.notify_all();  // a writer waiting for the close goes on
    }
    recordQueue.clear();
}

void Tyvarion::shutDownRecording() noexcept {
    {
        std::lock_guard lock(recordMutex);
        stopWriter = true;
        recordCondition.notify_all();
    }
    if (writerThread.joinable()) writerThread.join();
    std::unique_lock lock(recordMutex);
    closeRecordFile(lock);
}

void Tyvarion::queueTextLine(std::string text) {
    std::lock_guard lock(recordMutex);
    if (!recording) return;
    recordQueue.push(RecordingEntry{std::nullopt, std::move(text)});
    // A line sent while no samples arrive would otherwise wait for the next one.
    if (recordQueue.writerAsleep()) recordCondition.notify_all();
}

HRESULT Tyvarion::SendTrigger(LONG code) noexcept {
    return guardedHostCall([&] {
        queueTextLine(triggerText(code));
        return S_OK;
    });
}

HRESULT Tyvarion::SendString(LPWSTR message) noexcept {
    return guardedHostCall([&] {
        queueTextLine(messageText(message));
        return S_OK;
    });
}

}  // namespace tyvarion
