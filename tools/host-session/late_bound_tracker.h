#pragma once
// The plug-in reached late-bound, the way a scripting host reaches it: names
// to dispatch identifiers with IDispatch::GetIDsOfNames once, then every call
// through IDispatch::Invoke on the IEyeTracker2 pointer (Windows only).

#include "host-session/eye_tracker2_com.h"  // first: windows.h without the SendMessage macro

#include <memory>

#include "host-session/host_tracker.h"

namespace tyvarion::host {

// Wraps `early`, which owns the apartment and the reference behind `object`.
// GetEvents and SendString stay on `early`'s vtable calls: ITypeInfo::Invoke
// cannot marshal a record array or an LPWSTR parameter (Wine's answers
// E_NOTIMPL and DISP_E_BADVARTYPE), and the description says so. Fails when
// the names cannot be resolved, typically because the host's type library
// EyeTracker2Lib is not registered.
CreateResult createLateBoundTracker(std::unique_ptr<HostTracker> early, IEyeTracker2* object);

}  // namespace tyvarion::host
