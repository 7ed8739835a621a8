#include "host-session/recording_locator.h"

#include <algorithm>
#include <system_error>

#include "platform/documents_folder.h"

namespace tyvarion::host {
namespace {

std::filesystem::path recordingFolder() {
    if (const auto documents = platform::documentsFolder())
        return *documents / "Tyvarion" / "NBS Presentation";
    return std::filesystem::path(".");
}

}  // namespace

bool isRecordingName(const std::string& name) {
    const std::string prefix = "tyvarion_NBS_";
    const std::string suffix = ".csv";
    return name.size() > prefix.size() + suffix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

RecordingLocator::RecordingLocator() : folder_(recordingFolder()) {}

RecordingLocator::RecordingLocator(std::filesystem::path folder) : folder_(std::move(folder)) {}

void RecordingLocator::snapshot() { before_ = list(); }

std::vector<std::filesystem::path> RecordingLocator::newRecordings() const {
    std::vector<std::filesystem::path> found;
    for (const auto& path : list())
        if (!before_.contains(path)) found.push_back(path);
    std::error_code error;
    std::sort(found.begin(), found.end(), [&](const auto& a, const auto& b) {
        return std::filesystem::last_write_time(a, error) < std::filesystem::last_write_time(b, error);
    });
    return found;
}

std::set<std::filesystem::path> RecordingLocator::list() const {
    std::set<std::filesystem::path> paths;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder_, error), end; !error && it != end;
         it.increment(error)) {
        // UTF-8 never throws for a name the system cannot spell in its code page.
        const std::u8string name = it->path().filename().u8string();
        if (it->is_regular_file(error) && isRecordingName(std::string(name.begin(), name.end())))
            paths.insert(it->path());
    }
    return paths;
}

}  // namespace tyvarion::host
