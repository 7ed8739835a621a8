#include <cstdio>

#include "platform/debug_output.h"

namespace tyvarion::platform {

void debugLine(const olestring& text) noexcept {
    try {
        std::fprintf(stderr, "TyvarionNBS: %s\n", utf16ToUtf8(text.data(), text.size()).c_str());
    } catch (...) {
        // Without memory the line is not worth more than the host.
    }
}

}  // namespace tyvarion::platform
