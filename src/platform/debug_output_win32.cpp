#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include "platform/debug_output.h"

namespace tyvarion::platform {

void debugLine(const olestring& text) noexcept {
    try {
        OutputDebugStringW((L"TyvarionNBS: " + text + L"\n").c_str());
    } catch (...) {
        // Without memory the line is not worth more than the host.
    }
}

}  // namespace tyvarion::platform
