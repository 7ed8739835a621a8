#include "recording-to-bids/staged_files.h"

#include "output-file/output_file.h"

namespace tyvarion::tools {

namespace fs = std::filesystem;

StagedFiles::~StagedFiles() {
    if (!committed_) giveUp();
}

bool StagedFiles::makeFolder(const fs::path& folder, std::string& error) {
    std::vector<fs::path> missing;
    std::error_code ignored;
    for (fs::path level = folder; !level.empty() && !fs::exists(level, ignored); level = level.parent_path()) {
        missing.push_back(level);
        if (level == level.parent_path()) break;
    }
    std::error_code problem;
    fs::create_directories(folder, problem);
    if (problem || !fs::is_directory(folder, ignored)) {
        error = "cannot create " + pathText(folder) + ": " +
                (problem ? problem.message() : std::string("something else is in the way"));
        for (const auto& level : missing) fs::remove(level, ignored);  // those made before the failure
        return false;
    }
    madeFolders_.insert(madeFolders_.end(), missing.rbegin(), missing.rend());
    return true;
}

fs::path StagedFiles::stage(const fs::path& target) {
    std::error_code ignored;
    files_.push_back({temporaryBeside(target), target, fs::exists(target, ignored), false});
    targets_.push_back(target);
    return files_.back().temporary;
}

bool StagedFiles::commit(std::string& error) {
    for (auto& file : files_) {
        std::error_code problem;
        fs::rename(file.temporary, file.target, problem);
        if (problem) {
            error = "cannot write " + pathText(file.target) + ": " + problem.message();
            giveUp();
            return false;
        }
        file.renamed = true;
    }
    committed_ = true;
    return true;
}

void StagedFiles::giveUp() {
    std::error_code ignored;
    for (const auto& file : files_) {
        if (!file.renamed) {
            fs::remove(file.temporary, ignored);
        } else if (!file.existed) {
            fs::remove(file.target, ignored);
        }
    }
    // The deepest first; a folder that holds anything else stays.
    for (auto it = madeFolders_.rbegin(); it != madeFolders_.rend(); ++it) {
        if (fs::is_empty(*it, ignored)) fs::remove(*it, ignored);
    }
    committed_ = true;
}

}  // namespace tyvarion::tools
