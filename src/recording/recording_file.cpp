#include "recording/recording_file.h"

#include <system_error>

#include "platform/documents_folder.h"
#include "recording/line_format.h"

namespace tyvarion {
namespace {

constexpr const char* kFirstSubFolder = "Tyvarion";
constexpr const char* kSecondSubFolder = "NBS Presentation";
constexpr std::string_view kNamePrefix = "tyvarion_NBS_";
constexpr std::string_view kNameSuffix = ".csv";
// Same text as "%F-%H-%M-%S"; older C runtimes on Windows do not know "%F".
constexpr const char* kTimeStampFormat = "%Y-%m-%d-%H-%M-%S";
// Starts within one second share a time stamp; the suffix tells them apart.
constexpr int kMaxNameAttempts = 1000;

// True when `path` is a directory afterwards. Any error of the file system
// (access denied, a missing parent, a plain file in the way) gives false.
bool makeDirectory(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) std::filesystem::create_directory(path, error);
    return std::filesystem::is_directory(path, error);
}

}  // namespace

std::string recordingTimeStamp(std::time_t start) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &start);
#else
    localtime_r(&start, &local);
#endif
    char text[100];
    const std::size_t length = std::strftime(text, sizeof text, kTimeStampFormat, &local);
    return std::string(text, length);
}

std::string recordingFileName(std::string_view stamp, int attempt) {
    std::string name;
    name.append(kNamePrefix).append(stamp);
    if (attempt > 1) name.append("-").append(std::to_string(attempt));
    name.append(kNameSuffix);
    return name;
}

NewRecordingFile createRecordingFile(std::time_t start) {
    NewRecordingFile result;
    const std::string stamp = recordingTimeStamp(start);

    std::filesystem::path folder(".");
    if (const auto documents = platform::documentsFolder()) {
        folder = *documents / kFirstSubFolder;
        if (!makeDirectory(folder)) {
            result.error = RecordingFileError::directory;
            return result;
        }
        folder /= kSecondSubFolder;
        if (!makeDirectory(folder)) {
            result.error = RecordingFileError::directory;
            return result;
        }
    }

    for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        result.path = folder / recordingFileName(stamp, attempt);
        RecordingStream::CreateStatus status{};
        result.stream = RecordingStream::create(result.path, status);
        if (status == RecordingStream::CreateStatus::nameTaken) continue;
        if (!result.stream) break;
        result.stream->write(kSeparatorLine);
        result.stream->write(kColumnHeaderLine);
        // A recording that ends at once still has its header in the file.
        result.stream->handOver();
        return result;
    }
    result.error = RecordingFileError::open;
    return result;
}

}  // namespace tyvarion
