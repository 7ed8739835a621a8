#pragma once
// The files an export writes for one run, and whether it may write them:
// never over its input, never over a file it did not write itself, and over
// an earlier export only when asked to. All are checked before any is opened.
// The data set's description and README are written only where there are
// none, so they are never written over.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "recording-to-bids/bids_names.h"

namespace tyvarion::tools {

enum class BidsFile { physio, physioSidecar, physioEvents, physioEventsSidecar, events, eventsSidecar };

struct BidsTarget {
    std::filesystem::path path;
    BidsFile file = BidsFile::events;
    std::size_t recording = 0;  // index into kRecordingLabels, for the physio files
};

// The run's files: each recording's four, then the task's events and its sidecar.
std::vector<BidsTarget> bidsTargets(const std::filesystem::path& root, const BidsEntities& entities);

// Nullopt when every target may be written; else why not, for example
// "will not write over ds/sub-01/beh/sub-01_task-t_events.tsv: it is the input".
std::optional<std::string> bidsOutputRefusal(const std::vector<BidsTarget>& targets,
                                             std::span<const std::filesystem::path> inputs, bool overwrite);

// Whether the first bytes of a file (up to kOutputHeadBytes) are those of
// this kind of file as the export writes it.
bool isOwnBidsFile(BidsFile file, std::string_view head);

}  // namespace tyvarion::tools
