#include "recording-to-bids/bids_sidecars.h"

#include <nlohmann/json.hpp>

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

json eventColumns() {
    return {{"trial_type",
             {{"Description", "What the stimulus program sent into the recording."},
              {"Levels", {{"trigger", "A trigger code."}, {"message", "A text message."}}}}},
            {"value", {{"Description", "The trigger's code; n/a for a message."}}},
            {"message", {{"Description", "The message's text; n/a for a trigger."}}}};
}

}  // namespace

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
        {"timestamp",
         {{"Description", "Time stamp of the sample, given by the eye-tracking server."}, {"Units", "us"}}},
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
                     {"Description",
                      "Triggers and messages sent into the recording, at the time stamp of the sample before each."},
                     {"OnsetSource", "timestamp"}};
    document.update(eventColumns());
    return text(document);
}

std::string eventsSidecar(const ScreenGeometry& screen) {
    json document = {
        {"onset", {{"Description", "Time of the sample before the event, from the recording's first sample."},
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

std::string datasetDescription() {
    return text({{"Name", "Eye-tracking recordings"},
                 {"BIDSVersion", "1.11.0"},
                 {"DatasetType", "raw"},
                 {"GeneratedBy",
                  {{{"Name", "recording-to-bids"},
                    {"Description", "Exported from Tyvarion NBS recording files."}}}}});
}

}  // namespace tyvarion::tools
