#pragma once
// The plug-in does not tell the host the name of its recording file. The
// driver looks for it where the plug-in puts it, with the plug-in's own rule
// for the Documents folder: the files that are new after the session, of
// which the summary picks the session's own.

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tyvarion::host {

class RecordingLocator {
public:
    // Documents/Tyvarion/NBS Presentation, or the current folder when the
    // Documents folder is not known.
    RecordingLocator();
    explicit RecordingLocator(std::filesystem::path folder);

    const std::filesystem::path& folder() const { return folder_; }

    // Notes the recordings that exist now.
    void snapshot();
    // The recordings made since the snapshot, oldest first.
    std::vector<std::filesystem::path> newRecordings() const;

private:
    std::set<std::filesystem::path> list() const;

    std::filesystem::path folder_;
    std::set<std::filesystem::path> before_;
};

// True for "tyvarion_NBS_<stamp>.csv" and "tyvarion_NBS_<stamp>-N.csv".
bool isRecordingName(const std::string& name);

}  // namespace tyvarion::host
