#pragma once
// Result-code helpers of the module.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

namespace tyvarion::module {

// A Windows error code (LSTATUS, GetLastError) as a result code.
inline HRESULT hresultFromWin32(LONG error) noexcept {
    return HRESULT_FROM_WIN32(static_cast<unsigned long>(error));
}

}  // namespace tyvarion::module

#define RETURN_IF_FAILED(expression)              \
    do {                                          \
        const HRESULT returnIfFailed_ = (expression); \
        if (FAILED(returnIfFailed_)) return returnIfFailed_; \
    } while (false)
