#pragma once
// A recording exported as BIDS 1.11 eye-tracking data, in one pass over the
// file: three physio tables (left eye, right eye, binocular point: recordings
// eye1, eye2, eye3), each with its sidecar and its physioevents table of the
// triggers and messages; the task's events table with the screen in its
// sidecar; the data set's description and README when the folder has none.
// Tables are gzip-compressed without a header line; "n/a" stands for a
// missing value, and a missing sample has a row of them (physio_tables.h).
// Every file is written under a temporary name and renamed into place at the
// end (staged_files.h): a failed export leaves the data set as it was.
// A recording whose time runs backwards or whose index restarts is refused:
// a physio table has one start and one rate.

#include <cstdint>
#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "recording-report/geometry.h"
#include "recording-to-bids/bids_names.h"
#include "recording-to-bids/bids_sidecars.h"
#include "recording-to-bids/tsv_cell.h"

namespace tyvarion::tools {

struct BidsExportOptions {
    std::filesystem::path root;
    BidsEntities entities;
    ScreenGeometry screen;  // with its size and distance: BIDS requires them
    DatasetCredits credits;
    // The files read, never to be written over.
    std::vector<std::filesystem::path> inputs;
    bool overwrite = false;  // an earlier export of the same run may be replaced
};

struct BidsExport {
    std::filesystem::path folder;
    std::vector<std::filesystem::path> files;  // every file written
    std::uint64_t samples = 0;
    std::uint64_t missingRows = 0;  // rows of n/a for samples missing by index
    std::uint64_t triggers = 0;
    std::uint64_t messages = 0;
    double samplingFrequencyHz = 0;
    bool wroteDescription = false;  // the data set had no dataset_description.json
    std::vector<std::string> warnings;  // what was left out or is odd (as the report's)
};

struct BidsExportFailure {
    std::string message;
    bool refused = false;  // an output that may not be written: nothing was opened
};

// Nullopt, with `failure` set, when nothing was exported.
std::optional<BidsExport> exportToBids(std::istream& recording, const BidsExportOptions& options,
                                       BidsExportFailure& failure);

}  // namespace tyvarion::tools
