#pragma once
// The member names of a piece of type information with their dispatch
// identifiers, in the order the type information lists its functions, so that
// a single name is found without calling into the type library.
//
// Built once under the module's typeInfoLock; read without a lock afterwards,
// since it never changes until module stop.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <oaidl.h>

#include <memory>

#include "platform/unique_handle.h"

namespace tyvarion::module {

struct TypeInfoNameCache {
    struct Entry {
        unique_bstr name;  // null when the function's description or name could not be read
        UINT length = 0;   // of the name, in UTF-16 units
        DISPID id = DISPID_UNKNOWN;
    };

    // The identifier of the member whose name is exactly `name` (letter case
    // counts), searching from the last function to the first, so that a
    // member of the interface itself wins over one it inherits.
    bool find(const OLECHAR* name, DISPID& id) const noexcept;

    std::unique_ptr<Entry[]> entries;
    UINT count = 0;
};

// Builds the cache for `typeInfo` into `cache`. Leaves it empty, with S_OK,
// when the type attributes cannot be read or the type has no functions;
// E_OUTOFMEMORY when the elements cannot be allocated.
HRESULT buildTypeInfoNameCache(ITypeInfo* typeInfo, std::unique_ptr<TypeInfoNameCache>& cache) noexcept;

}  // namespace tyvarion::module
