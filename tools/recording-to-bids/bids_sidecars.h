#pragma once
// The JSON sidecars of an exported recording, as BIDS 1.11 defines them for
// eye-tracking: each physio table's columns and recorded eye, the events'
// columns and where their onsets come from, the screen the gaze was on, and
// the data set's description.

#include <string>

#include "recording-report/geometry.h"

namespace tyvarion::tools {

enum class RecordedEye { left, right, cyclopean };

std::string physioSidecar(RecordedEye eye, double samplingFrequencyHz);
std::string physioEventsSidecar();
// The task's events file: its columns and the screen (StimulusPresentation).
std::string eventsSidecar(const ScreenGeometry& screen);
std::string datasetDescription();

// The header line of the task's events table.
inline constexpr const char* kEventsHeader = "onset\tduration\ttrial_type\tvalue\tmessage\n";

}  // namespace tyvarion::tools
