// Tracking, calibration and the methods the plug-in answers with a fixed text.
#include "tracker/host_call.h"
#include "tracker/messages.h"
#include "tracker/tyvarion.h"

namespace tyvarion {

HRESULT Tyvarion::SetTracking(VARIANT_BOOL trackingOn, BSTR* returnValue) noexcept {
    if (returnValue == nullptr) return E_POINTER;
    return guardedHostCall([&]() -> HRESULT {
        if (!connected) return writeMessage(returnValue, messages::kNotConnectedToTheServer);
        if (trackingOn == 0) {
            api->unrequestTracking();
            tracking = false;
            return writeMessage(returnValue, messages::kEmpty);
        }
        const std::uint64_t endingsBefore = trackingEndingsSoFar();
        const int result = api->requestTracking(0);
        const OLECHAR* refusal = messages::startTrackingMessage(result);
        if (refusal == nullptr) {
            // An end of tracking delivered during the request wins.
            markTracking(endingsBefore);
            return writeMessage(returnValue, messages::kEmpty);
        }
        // A tracking run that started earlier still counts as running.
        return refuse(refusal, returnValue);
    });
}

HRESULT Tyvarion::Calibrate(EyeTracker2CalibrationType, const void*, double, double, double,
                            BSTR* returnValue) noexcept {
    if (returnValue == nullptr) return E_POINTER;
    return guardedHostCall([&]() -> HRESULT {
        if (!connected) return refuse(messages::kNotConnected, returnValue);
        // Calibration and drift correction both run the server's own calibration.
        return writeMessage(returnValue, messages::calibrateMessage(api->calibrate(0)));
    });
}

namespace {

// The point-by-point calibration methods: refused while not connected,
// otherwise answered with their fixed text.
template <typename Refuse>
HRESULT answerPlaceholder(bool connected, const OLECHAR* text, BSTR* returnValue,
                          Refuse&& refuse) {
    if (returnValue == nullptr) return E_POINTER;
    return guardedHostCall([&]() -> HRESULT {
        if (!connected) return refuse();
        return writeMessage(returnValue, text);
    });
}

}  // namespace

HRESULT Tyvarion::StartCalibration(LONG, LONG*, EyeTracker2EyeType, LPWSTR,
                                   BSTR* returnValue) noexcept {
    return answerPlaceholder(connected, messages::kStartCalibrationNotImplemented, returnValue,
                             [&] { return refuse(messages::kNotConnected, returnValue); });
}

HRESULT Tyvarion::GetCalibrationPoint(LONG*, LONG*, LONG*, BSTR* returnValue) noexcept {
    // The point outputs are left as the host passed them.
    return answerPlaceholder(connected, messages::kGetCalibrationPointNotImplemented, returnValue,
                             [&] { return refuse(messages::kNotConnected, returnValue); });
}

HRESULT Tyvarion::AcceptPoint(BSTR* returnValue) noexcept {
    return answerPlaceholder(connected, messages::kAcceptPointNotImplemented, returnValue,
                             [&] { return refuse(messages::kNotConnected, returnValue); });
}

HRESULT Tyvarion::StopCalibration(BSTR* returnValue) noexcept {
    return answerPlaceholder(connected, messages::kStopCalibrationNotImplemented, returnValue,
                             [&] { return refuse(messages::kNotConnected, returnValue); });
}

HRESULT Tyvarion::SendCommand(LPWSTR, LONG*) noexcept {
    // The answer goes to the last error only; the output is never written.
    const HRESULT stored = guardedHostCall([&]() -> HRESULT {
        lastError = messages::kSendCommandNotImplemented;
        return S_OK;
    });
    return FAILED(stored) ? stored : E_NOTIMPL;
}

HRESULT Tyvarion::SendMessage(LPWSTR, BSTR* response) noexcept {
    if (response == nullptr) return E_POINTER;
    return writeMessage(response, messages::kSendMessageNotImplemented);
}

HRESULT Tyvarion::SetParameter(LPWSTR, LPWSTR, BSTR* returnValue) noexcept {
    if (returnValue == nullptr) return E_POINTER;
    return writeMessage(returnValue, messages::kSetParameterNotImplemented);
}

HRESULT Tyvarion::GetParameter(LPWSTR, BSTR* value) noexcept {
    if (value == nullptr) return E_POINTER;
    return writeMessage(value, messages::kEmpty);
}

HRESULT Tyvarion::SetAOISet(LONG, BSTR* returnValue) noexcept {
    if (returnValue == nullptr) return E_POINTER;
    const HRESULT written = writeMessage(returnValue, messages::kSetAOISetNotImplemented);
    return FAILED(written) ? written : E_NOTIMPL;
}

}  // namespace tyvarion
