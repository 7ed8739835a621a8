// Sample intake, on the client library's thread: gaze samples become host
// events and, while recording, recording entries; device events lower flags.
#include <new>

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

void Tyvarion::queueGazeEvents(const tyapi::TYGazeSample& sample) noexcept {
    const DisplayGeometry geometry{screenWidth, screenHeight, displayWidth, displayHeight};
    // Room for every event the sample can make comes first: a host must never
    // find part of a sample's events in the queue. When the queue cannot grow,
    // nothing has been appended yet and the events are dropped; the recording
    // still gets the sample.
    try {
        eventQueue.reserveBack(kMaxEventsPerSample);
    } catch (const std::bad_alloc&) {
        return;
    }
    makeGazeEvents(sample, selectedDataKinds(), geometry,
                   [&]() -> EyeTracker2GeneralData& { return eventQueue.appendZeroed(); });
}

void Tyvarion::queueRecordedSample(const tyapi::TYGazeSample& copy) {
    std::lock_guard lock(recordMutex);
    recordQueue.push(copy);
    if (recordQueue.claimWriterWakeUp()) recordCondition.notify_all();
}

void Tyvarion::handleGazeSample(const tyapi::TYGazeSample& sample) {
    // Left uninitialised: most samples are not recorded.
    tyapi::TYGazeSample copy;
    {
        std::lock_guard lock(eventMutex);
        queueGazeEvents(sample);
        if (!recording) return;
        copy = sample;
    }
    // Never both mutexes at once: eventMutex is released before recordMutex.
    queueRecordedSample(copy);
}

void Tyvarion::onDeviceEvent(std::int32_t code) {
    switch (code) {
        case tyapi::DEVICE_EVENT_CONNECTION_LOST:
        case tyapi::DEVICE_EVENT_SERVER_SHUTDOWN: {
            std::lock_guard lock(eventMutex);
            // Host methods read `connected` without the lock: once they see it
            // false, recording must already be off, or a trigger sent after
            // the status said 0x40 could still reach the file.
            recording = false;
            tracking = false;
            connected = false;
            connectionLost = true;
            ++trackingEndings;
            return;
        }
        case tyapi::DEVICE_EVENT_TRACKING_STOPPED: {
            std::lock_guard lock(eventMutex);
            tracking = false;
            ++trackingEndings;
            return;
        }
        default: return;
    }
}

}  // namespace tyvarion
