#pragma once
// The type information of ITyvarion, read from the module file's own type
// library on every request: nothing is cached for the member-less dispatch.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <oaidl.h>

namespace tyvarion::module {

// E_POINTER for a null `typeInfo`; E_FAIL when the module's path cannot be
// read into MAX_PATH units; otherwise LoadTypeLib's or GetTypeInfoOfGuid's result.
HRESULT loadTyvarionTypeInfo(ITypeInfo** typeInfo) noexcept;

}  // namespace tyvarion::module
