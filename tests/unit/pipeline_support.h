#pragma once
// Helpers shared by the gaze data pipeline's tests: readable names for events
// and for sets of data kinds.

#include <string>
#include <vector>

#include "pipeline/data_kinds.h"
#include "tracker/eye_tracker2.h"

namespace pipeline_support {

// "pos-default", "pupil-left" and so on; "type 5/eye 1" for anything else.
inline std::string eventName(LONG type, LONG eye) {
    const char* eyeName = eye == tyvarion::ET2_ET_DEFAULT ? "default"
                          : eye == tyvarion::ET2_ET_LEFT  ? "left"
                          : eye == tyvarion::ET2_ET_RIGHT ? "right"
                                                          : nullptr;
    if (eyeName != nullptr && type == tyvarion::ET2_DT_POSITION) return std::string("pos-") + eyeName;
    if (eyeName != nullptr && type == tyvarion::ET2_DT_PUPIL) return std::string("pupil-") + eyeName;
    return "type " + std::to_string(type) + "/eye " + std::to_string(eye);
}

// The events' kinds in order, separated by spaces.
inline std::string eventNames(const std::vector<tyvarion::EyeTracker2GeneralData>& events) {
    std::string names;
    for (const auto& event : events) {
        if (!names.empty()) names += ' ';
        names += eventName(event.type, event.eye);
    }
    return names;
}

// The names of a set of data kinds, in the order of the event rows.
inline std::string kindNames(tyvarion::DataKinds kinds) {
    using namespace tyvarion;
    const std::pair<DataKinds, const char*> names[] = {
        {kPositionDefault, "pos-default"}, {kPositionLeft, "pos-left"},
        {kPositionRight, "pos-right"},     {kPupilLeft, "pupil-left"},
        {kPupilRight, "pupil-right"},      {kPupilDefault, "pupil-default"},
    };
    std::string text;
    for (const auto& [kind, name] : names) {
        if ((kinds & kind) == 0) continue;
        if (!text.empty()) text += ' ';
        text += name;
    }
    return text;
}

}  // namespace pipeline_support
