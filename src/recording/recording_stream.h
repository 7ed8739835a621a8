#pragma once
// The open recording file. (Placeholder until the recording file lands.)

namespace tyvarion {

class RecordingStream {
public:
    RecordingStream() = default;
    RecordingStream(const RecordingStream&) = delete;
    RecordingStream& operator=(const RecordingStream&) = delete;
};

}  // namespace tyvarion
