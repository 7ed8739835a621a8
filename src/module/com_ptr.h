#pragma once
// Owners for the module's COM pointers, registry keys and task-memory strings,
// all over the one unique_handle template.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <objbase.h>

#include "platform/unique_handle.h"

namespace tyvarion::module {

template <typename Interface>
void releaseInterface(Interface* pointer) noexcept {
    pointer->Release();
}

// Holds one reference; put() hands out the address for an out-parameter.
template <typename Interface>
using com_ptr = unique_handle<Interface*, &releaseInterface<Interface>>;

using unique_hkey = unique_handle<HKEY, &RegCloseKey>;

}  // namespace tyvarion::module
