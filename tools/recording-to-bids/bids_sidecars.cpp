#include "recording-to-bids/bids_sidecars.h"

#include <nlohmann/json.hpp>

#include "tyvarion_version.h"

namespace tyvarion::tools {
namespace {

using json = nlohmann::ordered_json;

std::string text(const json& document) { return document.dump(4, ' ', false, json::error_handler_t::replace) + "\n"; }

const char* eyeName(RecordedEye eye) {
    switch (eye) {
    case RecordedEye::left: return "left";
    case RecordedEye::right: return "right";
    case RecordedEye::cyclopean: return "cyclopean";
    }
    return "cyclopean";
}

std::string whose(RecordedEye eye) {
    return eye == RecordedEye::cyclopean ? "the binocular gaze point" : std::string("the ") + eyeName(eye) + " eye";
}

// Where a trigger or message stands in time, in the words of both event tables.
constexpr const char* kEventTime =
    "the time stamp of the sample line before the trigger or message in the recording (it was sent after that "
    "sample); for one before the first sample line, that of the first sample line";

json eventColumns() {
    return {{"trial_type",
             {{"Description", "What the stimulus program sent into the recording."},
              {"Levels", {{"trigger", "A trigger code."}, {"message", "A text message."}}}}},
            {"value", {{"Description", "The trigger's code; n/a for a message."}}},
            {"message", {{"Description", "The message's text; n/a for a trigger."}}}};
}

}  // namespace

std::string softwareVersion() { return std::string("Tyvarion NBS ") + TYVARION_VERSION_TEXT; }

std::string physioSidecar(RecordedEye eye, double samplingFrequencyHz) {
    const bool pupil = eye != RecordedEye::cyclopean;
    json columns = {"timestamp", "x_coordinate", "y_coordinate"};
    if (pupil) columns.push_back("pupil_size");
    json document = {
        {"SamplingFrequency", samplingFrequencyHz},
        {"StartTime", 0},
        {"Columns", columns},
        {"PhysioType", "eyetrack"},
        {"RecordedEye", eyeName(eye)},
        {"SampleCoordinateSystem", "gaze-on-screen"},
        {"Manufacturer", "Tyvarion"},
        {"SoftwareVersions", softwareVersion()},
        {"timestamp",
         {{"Description",
           "Time stamp of the sample, given by the eye-tracking server. A sample that never reached the recording "
           "(a gap in its index) has a row of n/a with the time stamp between its neighbours', so that every row "
           "stands at StartTime + row / SamplingFrequency."},
          {"Units", "us"}}},
        {"x_coordinate",
         {{"LongName", "Gaze position (x)"},
          {"Description", "Gaze position x-coordinate of " + whose(eye) + " on the screen, from its left edge."},
          {"Units", "pixel"}}},
        {"y_coordinate",
         {{"LongName", "Gaze position (y)"},
          {"Description", "Gaze position y-coordinate of " + whose(eye) + " on the screen, from its top edge."},
          {"Units", "pixel"}}}};
    if (pupil) {
        document["pupil_size"] = {{"Description", "Pupil diameter of " + whose(eye) + "."}, {"Units", "mm"}};
    }
    return text(document);
}

std::string physioEventsSidecar() {
    json document = {{"Columns", {"onset", "duration", "trial_type", "value", "message"}},
                     {"Description", std::string("Triggers and messages sent into the recording, at ") + kEventTime +
                                         "."},
                     {"OnsetSource", "timestamp"},
                     {"duration", {{"Description", "Triggers and messages take no time."}}}};
    document.update(eventColumns());
    return text(document);
}

std::string eventsSidecar(const ScreenGeometry& screen) {
    json document = {
        {"onset",
         {{"Description", std::string("Time from the recording's first sample to ") + kEventTime + "."},
          {"Units", "s"}}},
        {"duration", {{"Description", "Triggers and messages take no time."}, {"Units", "s"}}}};
    document.update(eventColumns());
    document["StimulusPresentation"] = {
        {"ScreenDistance", *screen.distanceMm / 1000},
        {"ScreenOrigin", {"top", "left"}},
        {"ScreenResolution", {screen.widthPx, screen.heightPx}},
        {"ScreenSize", {*screen.widthMm / 1000, *screen.heightMm / 1000}}};
    return text(document);
}

std::string datasetDescription(const DatasetCredits& credits) {
    json document = {{"Name", "Eye-tracking recordings"},
                     {"BIDSVersion", "1.11.0"},
                     {"DatasetType", "raw"}};
    if (!credits.license.empty()) document["License"] = credits.license;
    if (!credits.authors.empty()) document["Authors"] = credits.authors;
    document["GeneratedBy"] = {{{"Name", "recording-to-bids"},
                                {"Version", TYVARION_VERSION_TEXT},
                                {"Description", "Exported from Tyvarion NBS recording files."}}};
    return text(document);
}

}  // namespace tyvarion::tools
