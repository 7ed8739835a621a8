#pragma once
// The BIDS 1.11 eye-tracking rules, checked on an exported data set: the ones
// the published validators of this machine predate (physioevents, the
// eye-tracking sidecar fields and columns, the screen in the events' sidecar)
// and the general ones for compressed physio tables. One sentence per problem
// found; none for a data set that keeps every rule.

#include <filesystem>
#include <string>
#include <vector>

namespace tyvarion::testing {

std::vector<std::string> checkBidsEyetracking(const std::filesystem::path& root);

// The decompressed text of a .gz file; empty when it cannot be read.
std::string gunzip(const std::filesystem::path& path);

}  // namespace tyvarion::testing
