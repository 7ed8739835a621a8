#pragma once
// The module's own file, as registration writes it.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <string>

namespace tyvarion::module {

// The module this code is linked into.
HMODULE moduleHandle() noexcept;

// The module's full path, read into a buffer of MAX_PATH units: a path that
// fills it is 0x8007007A, a failed read the platform's error.
HRESULT modulePath(std::wstring& path);

// `path` with its extension replaced by `extension` (appended when the file
// name has none).
std::wstring replaceExtension(const std::wstring& path, const wchar_t* extension);

}  // namespace tyvarion::module
