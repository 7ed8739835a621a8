#pragma once
// Every text the plug-in returns to the experimenter, word for word.

#include "platform/com_types.h"

namespace tyvarion::messages {

inline constexpr const OLECHAR* kEmpty = OLESTR("");

// Refusals while the server connection is down. The two wordings differ by
// "the": SetTracking uses its own.
inline constexpr const OLECHAR* kNotConnected = OLESTR("not connected to Tyvarion server");
inline constexpr const OLECHAR* kNotConnectedToTheServer =
    OLESTR("not connected to the Tyvarion server");

// SetTracking: the server's refusals to start tracking.
inline constexpr const OLECHAR* kNoDevice = OLESTR("no eye tracking device connected");
inline constexpr const OLECHAR* kInvalidFramerateMode = OLESTR("invalid framerate mode");
inline constexpr const OLECHAR* kDifferentFramerateMode =
    OLESTR("eye tracker is already running in different frame rate mode");
inline constexpr const OLECHAR* kUnspecifiedError = OLESTR("unspecified error");

// Calibrate: the server's answers.
inline constexpr const OLECHAR* kCalibrateNotConnected =
    OLESTR("failed to calibrate: not connected");
inline constexpr const OLECHAR* kCalibrateNotTracking = OLESTR("failed to calibrate: not tracking");
inline constexpr const OLECHAR* kCalibrateInvalidMode =
    OLESTR("failed to calibrate: invalid calibration mode");
inline constexpr const OLECHAR* kCalibrateAlreadyCalibrating =
    OLESTR("failed to calibrate: already calibrating");
inline constexpr const OLECHAR* kCalibrateFailed = OLESTR("failed to calibrate");

// Methods the plug-in does not implement.
inline constexpr const OLECHAR* kStartCalibrationNotImplemented =
    OLESTR("IEyeTracker2::StartCalibration is not implemented");
inline constexpr const OLECHAR* kGetCalibrationPointNotImplemented =
    OLESTR("IEyeTracker2::GetCalibrationPoint is not implemented");
inline constexpr const OLECHAR* kAcceptPointNotImplemented =
    OLESTR("IEyeTracker2::AcceptPoint is not implemented");
inline constexpr const OLECHAR* kStopCalibrationNotImplemented =
    OLESTR("IEyeTracker2::StopCalibration is not implemented");
inline constexpr const OLECHAR* kSendCommandNotImplemented =
    OLESTR("IEyeTracker2::SendCommand not implemented");
inline constexpr const OLECHAR* kSendMessageNotImplemented =
    OLESTR("IEyeTracker2::SendMessage is not implemented");
inline constexpr const OLECHAR* kSetParameterNotImplemented =
    OLESTR("IEyeTracker2::SetParameter is not implemented");
inline constexpr const OLECHAR* kSetAOISetNotImplemented =
    OLESTR("IEyeTracker2::SetAOISet not implemented");

// StartData: kinds of data the tracker does not deliver.
inline constexpr const OLECHAR* kSaccadeNotSupported = OLESTR("saccade data is not supported");
inline constexpr const OLECHAR* kFixationNotSupported = OLESTR("fixation data is not supported");
inline constexpr const OLECHAR* kAoiNotSupported = OLESTR("AOI data is not supported");
inline constexpr const OLECHAR* kBlinkNotSupported = OLESTR("blink data is not supported");
inline constexpr const OLECHAR* kTriggerInvalidParameter =
    OLESTR("invalid parameter: ET2_DT_TRIGGER");

// SetRecording: a start that could not make its file.
inline constexpr const OLECHAR* kCouldNotCreateDirectory =
    OLESTR("could not create directory in documents folder");
inline constexpr const OLECHAR* kFailedToOpenFile = OLESTR("failed to open file");

// The message for a result of requestTracking; null for success.
constexpr const OLECHAR* startTrackingMessage(int result) {
    switch (result) {
        case 0: return nullptr;
        case 1: return kNotConnected;
        case 2: return kNoDevice;
        case 3: return kInvalidFramerateMode;
        case 4: return kDifferentFramerateMode;
        default: return kUnspecifiedError;
    }
}

// The message for a result of calibrate; empty for success.
constexpr const OLECHAR* calibrateMessage(int result) {
    switch (result) {
        case 0: return kEmpty;
        case 1: return kCalibrateNotConnected;
        case 2: return kCalibrateNotTracking;
        case 3: return kCalibrateInvalidMode;
        case 4: return kCalibrateAlreadyCalibrating;
        default: return kCalibrateFailed;
    }
}

}  // namespace tyvarion::messages
