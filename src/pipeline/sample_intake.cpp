// Sample intake, on the client library's thread: gaze samples become host
// events and, while recording, recording entries; device events lower flags.
#include "pipeline/data_kinds.h"
#include "pipeline/gaze_events.h"
#include "recording/record_queue.h"
#include "tracker/tyvarion.h"

namespace tyvarion {

std::uint32_t Tyvarion::selectedDataKinds() const noexcept {
    return (positionDefaultOn ? kPositionDefault : 0u) | (positionLeftOn ? kPositionLeft : 0u) |
           (positionRightOn ? kPositionRight : 0u) | (pupilLeftOn ? kPupilLeft : 0u) |
           (pupilRightOn ? kPupilRight : 0u) | (pupilDefaultOn ? kPupilDefault : 0u);
}

void Tyvarion::queueGazeEvents(const tyapi::TYGazeSample& sample) {
    const DisplayGeometry geometry{screenWidth, screenHeight, displayWidth, displayHeight};
    GazeEvents events;
    const std::size_t count = makeGazeEvents(sample, selectedDataKinds(), geometry, events);
    if (count == 0) return;
    // One insert at the back has no effect when it throws, so a host never
    // finds part of a sample's events queued.
    eventQueue.insert(eventQueue.end(), events.begin(),
                      events.begin() + static_cast<std::ptrdiff_t>(count));
}

void Tyvarion::queueRecordedSample(RecordingEntry&& entry) {
    std::lock_guard lock(recordMutex);
    pushRecordingEntry(recordQueue, std::move(entry));
    recordCondition.notify_all();
}

void Tyvarion::handleGazeSample(const tyapi::TYGazeSample& sample) {
    RecordingEntry entry;
    {
        std::lock_guard lock(eventMutex);
        queueGazeEvents(sample);
        if (!recording) return;
        entry.sample = sample;
    }
    // Never both mutexes at once: eventMutex is released before recordMutex.
    queueRecordedSample(std::move(entry));
}

void Tyvarion::onDeviceEvent(std::int32_t code) {
    switch (code) {
        case tyapi::DEVICE_EVENT_CONNECTION_LOST:
        case tyapi::DEVICE_EVENT_SERVER_SHUTDOWN: {
            std::lock_guard lock(eventMutex);
            connected = false;
            tracking = false;
            recording = false;
            return;
        }
        case tyapi::DEVICE_EVENT_TRACKING_STOPPED: {
            std::lock_guard lock(eventMutex);
            tracking = false;
            return;
        }
        default: return;
    }
}

}  // namespace tyvarion
