#pragma once
// Where an exported recording goes in a BIDS data set: the folder
// sub-<label>[/ses-<label>]/beh and the files' common stem
// sub-<label>[_ses-<label>]_task-<label>[_run-<index>].

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tyvarion::tools {

struct BidsEntities {
    std::string subject;
    std::string task;
    std::optional<std::string> session;
    std::optional<std::string> run;
};

// A label is letters and digits; a run index is digits. Empty when valid,
// else the message for the option.
std::string labelProblem(std::string_view option, std::string_view label);
std::string runProblem(std::string_view index);

std::filesystem::path bidsFolder(const std::filesystem::path& root, const BidsEntities& entities);
std::string bidsStem(const BidsEntities& entities);

// The three recordings of an eye tracker in BIDS: left eye, right eye and the
// binocular (cyclopean) point.
inline constexpr const char* kRecordingLabels[3] = {"eye1", "eye2", "eye3"};

}  // namespace tyvarion::tools
