// SetRecording: the host's switch for the recording file.
#include <ctime>
#include <optional>

#include "platform/clock.h"
#include "recording/recording_file.h"
#include "recording/native_file.h"
#include "recording/recording_stream.h"
#include "recording/write_failure.h"
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
        const olestring message = recordingOn == VARIANT_FALSE ? stopRecording() : startRecording();
        return writeMessage(returnValue, message.c_str());
    });
}

olestring Tyvarion::startRecording() {
    RecordingFileError error = RecordingFileError::none;
    std::optional<IncompleteFile> earlier;
    std::uint32_t headerFailure = 0;
    try {
        std::unique_lock lock(recordMutex);
        earlier = closeRecordFile(lock);
        NewRecordingFile file = createRecordingFile(currentSecond());
        error = file.error;
        recordFile = std::move(file.stream);
        if (recordFile) {
            tellWriteFailure(*recordFile);
            headerFailure = recordFile->failure();
        }
    } catch (...) {
        setRecordingFlag(false);  // no file is open
        throw;
    }
    // After a failed start no file is open: `recording` must not claim one.
    // A file whose header could not be written is open all the same, and
    // counts the lines it cannot take for its stop to report.
    setRecordingFlag(error == RecordingFileError::none);
    // What the experimenter can act on now comes first: the new file.
    if (error != RecordingFileError::none) return failureMessage(error);
    if (headerFailure != 0) return writeFailedMessage(NativeFile::describeError(headerFailure));
    return earlier ? earlier->message() : olestring();
}

olestring Tyvarion::stopRecording() {
    std::optional<IncompleteFile> incomplete;
    {
        std::unique_lock lock(recordMutex);
        incomplete = closeRecordFile(lock);
    }
    setRecordingFlag(false);
    return incomplete ? incomplete->message() : olestring();
}

void Tyvarion::setRecordingFlag(bool on) {
    std::lock_guard lock(eventMutex);
    // A connection lost while the file was being opened has lowered the flag
    // already; raising it now would keep recording on for good, with GetStatus
    // saying 0x40 and no stop accepted.
    recording = on && connected;
}

}  // namespace tyvarion
