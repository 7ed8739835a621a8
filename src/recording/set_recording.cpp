// SetRecording: the host's switch for the recording file.
#include <ctime>

#include "platform/clock.h"
#include "recording/recording_file.h"
#include "recording/recording_stream.h"
#include "tracker/host_call.h"
#include "tracker/messages.h"
#include "tracker/tyvarion.h"

namespace tyvarion {
namespace {

std::time_t currentSecond() {
    const std::int64_t microseconds =
        platform::fileTimeToUnixMicroseconds(platform::currentFileTime());
    std::int64_t seconds = microseconds / 1000000;
    if (microseconds % 1000000 < 0) --seconds;
    return static_cast<std::time_t>(seconds);
}

const OLECHAR* failureMessage(RecordingFileError error) {
    switch (error) {
        case RecordingFileError::none: return nullptr;
        case RecordingFileError::directory: return messages::kCouldNotCreateDirectory;
        case RecordingFileError::open: return messages::kFailedToOpenFile;
    }
    return messages::kFailedToOpenFile;
}

}  // namespace

HRESULT Tyvarion::SetRecording(VARIANT_BOOL recordingOn, BSTR* returnValue) noexcept {
    if (returnValue == nullptr) return E_POINTER;
    return guardedHostCall([&]() -> HRESULT {
        if (!connected) return refuse(messages::kNotConnected, returnValue);
        if (recordingOn == VARIANT_FALSE) {
            stopRecording();
            return writeMessage(returnValue, messages::kEmpty);
        }
        const OLECHAR* failure = startRecording();
        return writeMessage(returnValue, failure != nullptr ? failure : messages::kEmpty);
    });
}

const OLECHAR* Tyvarion::startRecording() {
    RecordingFileError error = RecordingFileError::none;
    try {
        std::unique_lock lock(recordMutex);
        closeRecordFile(lock);
        NewRecordingFile file = createRecordingFile(currentSecond());
        error = file.error;
        recordFile = std::move(file.stream);
    } catch (...) {
        setRecordingFlag(false);  // no file is open
        throw;
    }
    // After a failed start no file is open: `recording` must not claim one.
    setRecordingFlag(error == RecordingFileError::none);
    return failureMessage(error);
}

void Tyvarion::stopRecording() {
    {
        std::unique_lock lock(recordMutex);
        closeRecordFile(lock);
    }
    setRecordingFlag(false);
}

void Tyvarion::setRecordingFlag(bool on) {
    std::lock_guard lock(eventMutex);
    // A connection lost while the file was being opened has lowered the flag
    // already; raising it now would keep recording on for good, with GetStatus
    // saying 0x40 and no stop accepted.
    recording = on && connected;
}

}  // namespace tyvarion
