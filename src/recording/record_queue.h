#pragma once
// The recording queue's push rule, shared by every producer: sample intake on
// the client library's thread, SendTrigger and SendString on the host's thread.
// The caller holds recordMutex. The writer thread is the only consumer.
//
// Bound: when the queue holds more than kRecordQueueKeep - 1 entries, the
// oldest one is dropped before the new one is appended, so the queue never
// holds more than kRecordQueueKeep entries and the newest lines survive.

#include <cstddef>
#include <deque>

#include "recording/recording_entry.h"

namespace tyvarion {

inline constexpr std::size_t kRecordQueueKeep = 25;

inline void pushRecordingEntry(std::deque<RecordingEntry>& queue, RecordingEntry&& entry) {
    if (queue.size() > kRecordQueueKeep - 1) queue.pop_front();
    queue.push_back(std::move(entry));
}

}  // namespace tyvarion
