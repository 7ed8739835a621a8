#pragma once
// One line for whoever watches the host process: OutputDebugStringW on
// Windows (a debugger or DebugView shows it), standard error elsewhere.
// Prefixed with "TyvarionNBS: ".

#include "platform/text.h"

namespace tyvarion::platform {

void debugLine(const olestring& text) noexcept;

}  // namespace tyvarion::platform
