#pragma once
// The files of one export, written under temporary names beside their
// targets and renamed into place together once all are written. Until then
// nothing of the data set changes; if the export is given up (commit never
// called, or failed), the temporaries, the targets that did not exist before
// and the folders it created are removed again, so a failed export leaves
// nothing behind.

#include <filesystem>
#include <string>
#include <vector>

namespace tyvarion::tools {

class StagedFiles {
public:
    StagedFiles() = default;
    StagedFiles(const StagedFiles&) = delete;
    StagedFiles& operator=(const StagedFiles&) = delete;
    ~StagedFiles();

    // Creates `folder` and its missing parents, remembering which were made.
    bool makeFolder(const std::filesystem::path& folder, std::string& error);
    // The temporary name to write `target` under.
    std::filesystem::path stage(const std::filesystem::path& target);
    // Renames every temporary to its target, in the order staged. False, with
    // `error` set, when one fails; the export is then given up.
    bool commit(std::string& error);

    const std::vector<std::filesystem::path>& targets() const { return targets_; }

private:
    void giveUp();

    struct Staged {
        std::filesystem::path temporary;
        std::filesystem::path target;
        bool existed = false;
        bool renamed = false;
    };
    std::vector<Staged> files_;
    std::vector<std::filesystem::path> targets_;
    std::vector<std::filesystem::path> madeFolders_;  // the deepest last
    bool committed_ = false;
};

}  // namespace tyvarion::tools
