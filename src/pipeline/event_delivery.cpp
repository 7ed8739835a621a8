// Event delivery to the host: data selection, display size and the polling of
// queued events, all on the host's thread.
#include <algorithm>
#include <climits>

#include "pipeline/data_kinds.h"
#include "platform/unique_handle.h"
#include "tracker/host_call.h"
#include "tracker/messages.h"
#include "tracker/tyvarion.h"

namespace tyvarion {

void Tyvarion::setDataKinds(std::uint32_t kinds, bool on) noexcept {
    // Each flag is atomic on its own: intake may see a change half made, as it
    // would see two calls made in turn.
    if (kinds & kPositionDefault) positionDefaultOn = on;
    if (kinds & kPositionLeft) positionLeftOn = on;
    if (kinds & kPositionRight) positionRightOn = on;
    if (kinds & kPupilLeft) pupilLeftOn = on;
    if (kinds & kPupilRight) pupilRightOn = on;
    if (kinds & kPupilDefault) pupilDefaultOn = on;
}

HRESULT Tyvarion::SetDisplayMode(LONG width, LONG height) noexcept {
    // Unchecked: a width of 0 selects the unscaled mapping.
    displayWidth = width;
    displayHeight = height;
    return S_OK;
}

HRESULT Tyvarion::GetEventCount(LONG* count) noexcept {
    if (count == nullptr) return E_POINTER;
    return guardedHostCall([&]() -> HRESULT {
        std::lock_guard lock(eventMutex);
        *count = static_cast<LONG>(std::min<std::size_t>(eventQueue.size(), LONG_MAX));
        return S_OK;
    });
}

HRESULT Tyvarion::GetEvents(LONG* count, EyeTracker2GeneralData* events) noexcept {
    if (count == nullptr) return E_POINTER;
    if (events == nullptr && *count > 0) return E_POINTER;
    return guardedHostCall([&]() -> HRESULT {
        // A negative count asks for nothing.
        const std::size_t wanted = *count > 0 ? static_cast<std::size_t>(*count) : 0;
        std::lock_guard lock(eventMutex);
        const std::size_t taken = eventQueue.takeFront(events, wanted);
        *count = static_cast<LONG>(taken);
        return S_OK;
    });
}

HRESULT Tyvarion::switchDataKinds(std::uint32_t kinds, bool on, const OLECHAR* answerText,
                                  BSTR* returnValue) noexcept {
    if (returnValue == nullptr) return E_POINTER;
    return guardedHostCall([&]() -> HRESULT {
        if (!connected) return refuse(messages::kNotConnected, returnValue);
        // The answer is allocated first, so that a failure changes no flag.
        unique_bstr answer(SysAllocString(answerText));
        if (!answer) return E_OUTOFMEMORY;
        setDataKinds(kinds, on);
        *returnValue = answer.release();
        return S_OK;
    });
}

HRESULT Tyvarion::StartData(EyeTracker2DataType type, EyeTracker2EyeType eye,
                            BSTR* returnValue) noexcept {
    return switchDataKinds(startedKinds(type, eye), true, startDataAnswer(type), returnValue);
}

HRESULT Tyvarion::StopData(EyeTracker2DataType type, EyeTracker2EyeType eye,
                           BSTR* returnValue) noexcept {
    return switchDataKinds(stoppedKinds(type, eye), false, messages::kEmpty, returnValue);
}

}  // namespace tyvarion
