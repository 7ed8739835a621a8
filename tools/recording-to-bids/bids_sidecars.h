#pragma once
// The JSON sidecars of an exported recording, as BIDS 1.11 defines them for
// eye-tracking: each physio table's columns and recorded eye, the events'
// columns and where their onsets come from, the screen the gaze was on, and
// the data set's description.

#include <string>
#include <string_view>
#include <vector>

#include "recording-report/geometry.h"

namespace tyvarion::tools {

enum class RecordedEye { left, right, cyclopean };

std::string physioSidecar(RecordedEye eye, double samplingFrequencyHz);
std::string physioEventsSidecar();
// The task's events file: its columns and the screen (StimulusPresentation).
std::string eventsSidecar(const ScreenGeometry& screen);

struct DatasetCredits {
    std::vector<std::string> authors;
    std::string license;  // empty: not given
};
std::string datasetDescription(const DatasetCredits& credits);

// "Tyvarion NBS 1.0.0.1": the plug-in that wrote the recording, of the
// version these tools were built with.
std::string softwareVersion();

// The header line of the task's events table.
inline constexpr const char* kEventsHeader = "onset\tduration\ttrial_type\tvalue\tmessage\n";

// How each sidecar begins: an existing file that does not is none of the
// export's, and is not written over.
inline constexpr std::string_view kPhysioSidecarStart = "{\n    \"SamplingFrequency\": ";
inline constexpr std::string_view kPhysioEventsSidecarStart = "{\n    \"Columns\": [\n        \"onset\",";
inline constexpr std::string_view kEventsSidecarStart = "{\n    \"onset\": {";

}  // namespace tyvarion::tools
