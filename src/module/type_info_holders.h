#pragma once
// The process's two type-information holders, kept until module stop.

#include "module/type_info_holder.h"

namespace tyvarion::module {

// IEyeTracker2 from the host's registered library EyeTracker2Lib 1.0.
CComTypeInfoHolder& eyeTracker2TypeInfo() noexcept;
// The class Tyvarion from the module's own registered library.
CComTypeInfoHolder& classTypeInfo() noexcept;

}  // namespace tyvarion::module
