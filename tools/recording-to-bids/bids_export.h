#pragma once
// A recording exported as BIDS 1.11 eye-tracking data, in one pass over the
// file: three physio tables (left eye, right eye, binocular point: recordings
// eye1, eye2, eye3), each with its sidecar and its physioevents table of the
// triggers and messages; the task's events table with the screen in its
// sidecar; the data set's description and README when the folder has none.
// Tables are gzip-compressed without a header line; "n/a" stands for a
// missing value.

#include <cstdint>
#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "recording-report/geometry.h"
#include "recording-to-bids/bids_names.h"

namespace tyvarion::tools {

struct BidsExportOptions {
    std::filesystem::path root;
    BidsEntities entities;
    ScreenGeometry screen;  // with its size and distance: BIDS requires them
};

struct BidsExport {
    std::filesystem::path folder;
    std::vector<std::filesystem::path> files;  // every file written
    std::uint64_t samples = 0;
    std::uint64_t triggers = 0;
    std::uint64_t messages = 0;
    double samplingFrequencyHz = 0;
};

// Nullopt, with `error` set, when nothing could be exported; files begun
// are removed again.
std::optional<BidsExport> exportToBids(std::istream& recording, const BidsExportOptions& options,
                                       std::string& error);

// A value for a TSV cell: tabs become spaces, the empty text "n/a".
std::string tsvCell(std::string_view text);

}  // namespace tyvarion::tools
