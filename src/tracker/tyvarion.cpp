#include "tracker/tyvarion.h"

#include "pipeline/listeners.h"
#include "platform/clock.h"
#include "recording/recording_stream.h"
#include "tracker/host_call.h"

namespace tyvarion {
namespace {
constexpr const char* kClientName = "NBS Presentation";
}

Tyvarion::Tyvarion()
    : api(std::make_unique<tyapi::TYApi>(kClientName)),
      gazeListener(std::make_unique<tyapi::GazeListener>(this)),
      deviceEventListener(std::make_unique<tyapi::DeviceEventListener>(this)) {
    try {
        // Every field is initialised: a callback may arrive from here on.
        api->registerGazeSampleListener(gazeListener.get());
        api->registerDeviceEventListener(deviceEventListener.get());
        if (api->connect() == tyapi::CONNECT_SUCCESS && markConnected()) {
            tyapi::ScreenConfig screen{};
            api->getActiveScreen(screen);
            screenWidth = screen.width;
            screenHeight = screen.height;
        }
        // The writer's spare ring is made here, where running out of memory
        // fails the construction instead of ending the host on the writer's thread.
        writerThread = std::thread(&Tyvarion::writerLoop, this, RecordQueue{});
    } catch (...) {
        // The client goes first, so that no callback reaches a listener that the
        // unwinding is about to destroy.
        connected = false;
        api.reset();
        throw;
    }
}

Tyvarion::~Tyvarion() {
    finalRelease();
    shutDownRecording();
}

bool Tyvarion::markConnected() {
    std::lock_guard lock(eventMutex);
    connected = !connectionLost;
    return connected;
}

std::uint64_t Tyvarion::trackingEndingsSoFar() {
    std::lock_guard lock(eventMutex);
    return trackingEndings;
}

void Tyvarion::markTracking(std::uint64_t endingsBefore) {
    std::lock_guard lock(eventMutex);
    tracking = trackingEndings == endingsBefore;
}

void Tyvarion::finalRelease() noexcept {
    connected = false;
    api.reset();
}

HRESULT Tyvarion::refuse(const OLECHAR* message, BSTR* returnValue) {
    lastError = message;
    const HRESULT written = writeMessage(returnValue, message);
    return FAILED(written) ? written : S_FALSE;
}

HRESULT Tyvarion::GetCaps(LONG* caps) noexcept {
    if (caps == nullptr) return E_POINTER;
    *caps = kCapabilities;
    return S_OK;
}

HRESULT Tyvarion::IsMultithreaded(VARIANT_BOOL* multiThreaded) noexcept {
    if (multiThreaded == nullptr) return E_POINTER;
    *multiThreaded = 1;  // the host expects 1 here, not VARIANT_TRUE
    return S_OK;
}

HRESULT Tyvarion::Execute() noexcept { return S_OK; }

HRESULT Tyvarion::GetTime(ULONGLONG* time) noexcept {
    if (time == nullptr) return E_POINTER;
    *time = static_cast<ULONGLONG>(platform::fileTimeToUnixMicroseconds(platform::currentFileTime()));
    return S_OK;
}

HRESULT Tyvarion::GetStatus(LONG* status) noexcept {
    if (status == nullptr) return E_POINTER;
    if (!connected) {
        *status = kStatusNotConnected;
        return S_OK;
    }
    const bool trackingNow = tracking;
    std::lock_guard lock(eventMutex);
    *status = statusCode(true, trackingNow, recording);
    return S_OK;
}

HRESULT Tyvarion::GetLastError(BSTR* message) noexcept {
    if (message == nullptr) return E_POINTER;
    return guardedHostCall([&] {
        const olestring text = lastError.text();
        BSTR copy = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (copy == nullptr) return E_OUTOFMEMORY;
        *message = copy;
        return S_OK;
    });
}

}  // namespace tyvarion
