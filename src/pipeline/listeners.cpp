#include "pipeline/listeners.h"

#include "tracker/tyvarion.h"

namespace tyapi {

// Nothing may unwind into the client library's thread. A sample whose events
// cannot be queued (memory exhausted) is dropped whole and intake goes on.
void GazeListener::onGazeSample(const TYGazeSample& sample) noexcept {
    try {
        owner->handleGazeSample(sample);
    } catch (...) {
    }
}

void DeviceEventListener::onDeviceEvent(std::int32_t code) noexcept {
    try {
        owner->onDeviceEvent(code);
    } catch (...) {
    }
}

}  // namespace tyapi
