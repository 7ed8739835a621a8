// Event delivery to the host. (Skeleton until the gaze data pipeline lands.)
#include "tracker/tyvarion.h"

namespace tyvarion {

HRESULT Tyvarion::SetDisplayMode(LONG, LONG) noexcept { return E_NOTIMPL; }
HRESULT Tyvarion::GetEventCount(LONG*) noexcept { return E_NOTIMPL; }
HRESULT Tyvarion::GetEvents(LONG*, EyeTracker2GeneralData*) noexcept { return E_NOTIMPL; }
HRESULT Tyvarion::StartData(EyeTracker2DataType, EyeTracker2EyeType, BSTR*) noexcept {
    return E_NOTIMPL;
}
HRESULT Tyvarion::StopData(EyeTracker2DataType, EyeTracker2EyeType, BSTR*) noexcept {
    return E_NOTIMPL;
}

}  // namespace tyvarion
