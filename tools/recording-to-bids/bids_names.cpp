#include "recording-to-bids/bids_names.h"

#include <algorithm>

namespace tyvarion::tools {
namespace {

bool asciiAlnum(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

std::string labelProblem(std::string_view option, std::string_view label) {
    if (!label.empty() && std::all_of(label.begin(), label.end(), asciiAlnum)) return {};
    return std::string(option) + ": a label is letters and digits only, for example 01";
}

std::string runProblem(std::string_view index) {
    if (!index.empty() && std::all_of(index.begin(), index.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return {};
    }
    return "--run: expects a number, for example 1";
}

std::filesystem::path bidsFolder(const std::filesystem::path& root, const BidsEntities& entities) {
    std::filesystem::path folder = root / ("sub-" + entities.subject);
    if (entities.session) folder /= "ses-" + *entities.session;
    return folder / "beh";
}

std::string bidsStem(const BidsEntities& entities) {
    std::string stem = "sub-" + entities.subject;
    if (entities.session) stem += "_ses-" + *entities.session;
    stem += "_task-" + entities.task;
    if (entities.run) stem += "_run-" + *entities.run;
    return stem;
}

}  // namespace tyvarion::tools
