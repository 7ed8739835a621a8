// The recording writer thread, its teardown, and the two host methods that
// queue text lines.
//
// Producers (sample intake, SendTrigger, SendString) push under recordMutex
// with the shared drop-oldest rule and wake the writer when it sleeps. The
// writer takes one entry per hold of recordMutex and writes it while holding
// it, so a producer never waits longer than one line. Entries found while no
// file is open are discarded; entries still queued when a file closes are
// written into it first.
#include <chrono>

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

void Tyvarion::writerLoop() {
    // True while entries arrive close together. The writer then polls for a
    // moment before it sleeps: a fast stream would otherwise cost a wake-up per
    // entry and overrun the queue during each wake-up's delay. At a tracker's
    // usual rates entries are further apart and the writer simply sleeps.
    bool streaming = false;
    while (!stopWriter) {
        std::unique_lock lock(recordMutex);
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
        writeEntry(*recordFile, recordQueue.front());
        recordQueue.pop_front();
    }
}

bool Tyvarion::pollRecordQueue(std::unique_lock<std::mutex>& lock) {
    const auto deadline = std::chrono::steady_clock::now() + kWriterPollWindow;
    while (recordQueue.empty() && !stopWriter) {
        lock.unlock();
        std::this_thread::yield();
        lock.lock();
        if (std::chrono::steady_clock::now() >= deadline) break;
    }
    return !recordQueue.empty() || stopWriter;
}

void Tyvarion::closeRecordFile() noexcept {
    if (recordFile) {
        for (const RecordingEntry& entry : recordQueue) writeEntry(*recordFile, entry);
        recordFile->close();
        recordFile.reset();
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
    std::lock_guard lock(recordMutex);
    closeRecordFile();
}

void Tyvarion::queueTextLine(std::string text) {
    std::lock_guard lock(recordMutex);
    if (!recording) return;
    pushRecordingEntry(recordQueue, RecordingEntry{std::nullopt, std::move(text)});
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
