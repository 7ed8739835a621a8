#pragma once
// The registry entries of the class Tyvarion: its two ProgIDs and its CLSID key.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

namespace tyvarion::module {

// Writes (true) or removes (false) the class's entries below HKEY_CLASSES_ROOT.
HRESULT registerTyvarionClass(bool registering) noexcept;

}  // namespace tyvarion::module
