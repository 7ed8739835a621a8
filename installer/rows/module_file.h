#pragma once
// What the generator reads from the built module file itself, loaded as data
// (so an x86 module can be read from a 64-bit process): its version, its
// AppID script and its type library.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <string>

namespace tyvarion::installer {

// The fixed product version of the version block, "major.minor.build.revision".
HRESULT moduleVersion(const std::wstring& path, std::wstring& version);

// The bytes of the module's AppID script (resource "REGISTRY" of the module's id).
HRESULT moduleAppIdScript(const std::wstring& path, std::string& script);

// True when the platform reports the file as an executable, which registers
// as LocalServer32 rather than InprocServer32.
bool isExecutable(const std::wstring& path);

}  // namespace tyvarion::installer
