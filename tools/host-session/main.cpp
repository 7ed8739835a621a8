// Drives a tracker object the way the experiment host does, and prints what
// each call answers.
#include <cstdio>
#include <string>

#include "platform/text.h"
#include "platform/unique_handle.h"
#include "tracker/tyvarion.h"

namespace {

std::string text(const tyvarion::unique_bstr& message) {
    return message ? tyvarion::utf16ToUtf8(message.get()) : std::string("(none)");
}

void show(const char* call, HRESULT result, const tyvarion::unique_bstr& message) {
    std::printf("%-28s -> 0x%08X \"%s\"\n", call, static_cast<unsigned>(result),
                text(message).c_str());
}

}  // namespace

int main() {
    tyvarion::Tyvarion tracker;
    LONG status = 0;
    tracker.GetStatus(&status);
    std::printf("%-28s -> status 0x%02X\n", "GetStatus", static_cast<unsigned>(status));

    LONG caps = 0;
    tracker.GetCaps(&caps);
    std::printf("%-28s -> 0x%02X\n", "GetCaps", static_cast<unsigned>(caps));

    ULONGLONG now = 0;
    tracker.GetTime(&now);
    std::printf("%-28s -> %llu us since 1970\n", "GetTime", static_cast<unsigned long long>(now));

    tyvarion::unique_bstr message;
    show("SetTracking(true)", tracker.SetTracking(VARIANT_TRUE, message.put()), message);
    show("Calibrate(ET2_CT_CALIBRATE)",
         tracker.Calibrate(tyvarion::ET2_CT_CALIBRATE, nullptr, 0, 0, 0, message.put()), message);
    show("GetLastError", tracker.GetLastError(message.put()), message);
    show("SetTracking(false)", tracker.SetTracking(VARIANT_FALSE, message.put()), message);
    return 0;
}
