// The recording writer thread, its teardown, and the two host methods that
// queue text lines.
//
// Producers (sample intake, SendTrigger, SendString) push under recordMutex
// with the shared drop-oldest rule and wake the writer when the queue's rule
// says so; otherwise it comes back by itself (writer_pacing.h). The writer
// takes every queued entry in one step, by exchanging the queue's ring
// with its own empty one, and formats and writes them without recordMutex: a
// producer never waits for a line or for the disk. While the writer holds
// entries it alone touches the file; whoever closes the file waits until it
// holds none, then writes what is still queued itself. Entries found while no
// file is open are discarded.
//
// Each batch ends with one write to the operating system, so that a host
// process that dies loses no more than the writer's deadline of lines.
#include <string>

#include "platform/debug_output.h"
#include "recording/line_format.h"
#include "recording/native_file.h"
#include "recording/record_queue.h"
#include "recording/recording_stream.h"
#include "recording/write_failure.h"
#include "tracker/host_call.h"
#include "tracker/tyvarion.h"

namespace tyvarion {
namespace {

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
    WriterWait wait;
    std::unique_lock lock(recordMutex);
    while (!stopWriter) {
        // Teardown sets stopWriter under recordMutex and wakes us from any wait.
        waitForEntries(lock, wait);
        if (stopWriter) break;
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
        file.handOver();
        taken.clear();
        lock.lock();
        file.setWriterHoldsEntries(false);
        tellWriteFailure(file);
        if (file.closing()) recordCondition.notify_all();
        wait.lingerUntil = writerNow() + writerDeadline;
    }
}

void Tyvarion::tellWriteFailure(RecordingStream& file) noexcept {
    if (!file.failed() || file.failureTold()) return;
    file.markFailureTold();
    try {
        const olestring message = writeFailedMessage(NativeFile::describeError(file.failure()));
        platform::debugLine(message);
        lastError.set(message);
    } catch (...) {
        // Without memory for the text the stop still says the file is incomplete.
    }
}

std::optional<IncompleteFile> Tyvarion::closeRecordFile(std::unique_lock<std::mutex>& lock) noexcept {
    std::optional<IncompleteFile> incomplete;
    if (recordFile) {
        // Lines the writer has taken for this file come before those queued.
        recordFile->markClosing();
        recordCondition.wait(lock, [this] { return !recordFile->writerHoldsEntries(); });
        for (const RecordingEntry& entry : recordQueue) writeEntry(*recordFile, entry);
        recordFile->close();
        tellWriteFailure(*recordFile);
        if (recordFile->failed())
            incomplete = IncompleteFile{recordFile->linesLost(), recordFile->failure(), recordFile->endsWithWholeLine()};
        recordFile.reset();
        recordCondition.notify_all();  // a writer waiting for the close goes on
    }
    recordQueue.clear();
    return incomplete;
}

olestring IncompleteFile::message() const {
    return incompleteFileMessage(linesLost, NativeFile::describeError(failure), endsWithWholeLine);
}

void Tyvarion::shutDownRecording() noexcept {
    {
        std::lock_guard lock(recordMutex);
        stopWriter = true;
        recordCondition.notify_all();
    }
    if (writerThread.joinable()) writerThread.join();
    std::unique_lock lock(recordMutex);
    // Nobody asks any more: the debugger is the last place to say it.
    if (const std::optional<IncompleteFile> incomplete = closeRecordFile(lock)) {
        try {
            platform::debugLine(incomplete->message());
        } catch (...) {
            // No memory for the text; teardown goes on.
        }
    }
}

void Tyvarion::queueTextLine(std::string text) {
    std::lock_guard lock(recordMutex);
    if (!recording) return;
    recordQueue.push(RecordingEntry{std::nullopt, std::move(text)});
    if (recordQueue.claimWriterWakeUp()) recordCondition.notify_all();
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
