#pragma once
// The kinds of gaze data the host can ask for, one bit each, and what
// StartData and StopData make of a (type, eye) pair. Plain functions: the
// tracker object only applies the bits to its six flags.

#include <cstdint>

#include "platform/com_types.h"
#include "tracker/eye_tracker2.h"
#include "tracker/messages.h"

namespace tyvarion {

// One bit per data flag of the tracker object, in the order of the event rows.
enum DataKind : std::uint32_t {
    kPositionDefault = 1u << 0,
    kPositionLeft = 1u << 1,
    kPositionRight = 1u << 2,
    kPupilLeft = 1u << 3,
    kPupilRight = 1u << 4,
    kPupilDefault = 1u << 5,
};
using DataKinds = std::uint32_t;

inline constexpr DataKinds kAllDataKinds = 0x3F;

// The kind StartData switches on: exactly one for position or pupil data with a
// known eye, none otherwise.
constexpr DataKinds startedKinds(EyeTracker2DataType type, EyeTracker2EyeType eye) {
    if (type != ET2_DT_POSITION && type != ET2_DT_PUPIL) return 0;
    const bool position = type == ET2_DT_POSITION;
    switch (eye) {
        case ET2_ET_DEFAULT: return position ? kPositionDefault : kPupilDefault;
        case ET2_ET_LEFT: return position ? kPositionLeft : kPupilLeft;
        case ET2_ET_RIGHT: return position ? kPositionRight : kPupilRight;
        default: return 0;
    }
}

// The kinds StopData switches off. The per-eye pupil flags follow bit tests
// that hosts rely on: a type with bit 4 set (pupil, but also blink and trigger)
// stops the left pupil for an eye with bit 2 set and the right pupil for an eye
// with bit 1 set. Position data and the default-eye pupil are stopped by name,
// so that every kind StartData can switch on can be switched off again.
constexpr DataKinds stoppedKinds(EyeTracker2DataType type, EyeTracker2EyeType eye) {
    DataKinds kinds = 0;
    if (type == ET2_DT_POSITION) kinds |= startedKinds(type, eye);
    if (type == ET2_DT_PUPIL && eye == ET2_ET_DEFAULT) kinds |= kPupilDefault;
    if ((type & 4) != 0) {
        if ((eye & 2) != 0) kinds |= kPupilLeft;
        if ((eye & 1) != 0) kinds |= kPupilRight;
    }
    return kinds;
}

// StartData's answer once connected: a fixed text for the kinds the tracker
// does not deliver, the empty string otherwise (unknown types included).
constexpr const OLECHAR* startDataAnswer(EyeTracker2DataType type) {
    switch (type) {
        case ET2_DT_SACCADE: return messages::kSaccadeNotSupported;
        case ET2_DT_FIXATION: return messages::kFixationNotSupported;
        case ET2_DT_AOI: return messages::kAoiNotSupported;
        case ET2_DT_BLINK: return messages::kBlinkNotSupported;
        case ET2_DT_TRIGGER: return messages::kTriggerInvalidParameter;
        default: return messages::kEmpty;
    }
}

}  // namespace tyvarion
