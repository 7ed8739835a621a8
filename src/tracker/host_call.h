#pragma once
// Helpers shared by the host methods: no exception leaves a host method, and
// every message output is a newly allocated BSTR.

#include <new>

#include "platform/com_types.h"

namespace tyvarion {

// Runs a host method's body and maps anything it throws to a result code.
template <typename Body>
HRESULT guardedHostCall(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

// Stores a new BSTR holding `text` in `*out`. The caller has checked `out`.
inline HRESULT writeMessage(BSTR* out, const OLECHAR* text) noexcept {
    BSTR copy = SysAllocString(text);
    if (copy == nullptr) return E_OUTOFMEMORY;
    *out = copy;
    return S_OK;
}

}  // namespace tyvarion
