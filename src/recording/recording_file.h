#pragma once
// Where a recording goes: a new file named after the local time of its start,
// in Documents/Tyvarion/NBS Presentation, or in the current directory when the
// Documents folder is not known. Runs on the host's thread, under recordMutex.

#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "recording/recording_stream.h"

namespace tyvarion {

enum class RecordingFileError { none, directory, open };

struct NewRecordingFile {
    std::unique_ptr<RecordingStream> stream;  // null on failure
    RecordingFileError error = RecordingFileError::none;
    std::filesystem::path path;
};

// The local time of `start` as year-month-day-hour-minute-second, each part
// zero-padded: "2024-03-05-14-07-09".
std::string recordingTimeStamp(std::time_t start);

// "tyvarion_NBS_<stamp>.csv" for the first attempt; later attempts put "-2",
// "-3", ... before ".csv".
std::string recordingFileName(std::string_view stamp, int attempt);

// Makes the two sub-folders, creates a file that did not exist before and
// writes the two header lines into it. Throws only std::bad_alloc.
NewRecordingFile createRecordingFile(std::time_t start);

}  // namespace tyvarion
