// The recording writer thread. (Skeleton: discards every entry until the
// recording file lands.)
#include "recording/recording_stream.h"
#include "tracker/tyvarion.h"

namespace tyvarion {

void Tyvarion::writerLoop() {
    std::unique_lock lock(recordMutex);
    while (!stopWriter) {
        recordQueue.clear();
        // stopWriter is set under recordMutex, so it cannot be missed here.
        recordCondition.wait(lock);
    }
}

void Tyvarion::shutDownRecording() noexcept {
    {
        std::lock_guard lock(recordMutex);
        stopWriter = true;
        recordCondition.notify_all();
    }
    if (writerThread.joinable()) writerThread.join();
    std::lock_guard lock(recordMutex);
    recordFile.reset();
}

HRESULT Tyvarion::SendTrigger(LONG) noexcept { return S_OK; }
HRESULT Tyvarion::SendString(LPWSTR) noexcept { return S_OK; }
HRESULT Tyvarion::SetRecording(VARIANT_BOOL, BSTR*) noexcept { return E_NOTIMPL; }

}  // namespace tyvarion
