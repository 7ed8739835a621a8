#include "pipeline/listeners.h"

#include "tracker/tyvarion.h"

namespace tyapi {

void GazeListener::onGazeSample(const TYGazeSample& sample) { owner->handleGazeSample(sample); }

void DeviceEventListener::onDeviceEvent(std::int32_t code) { owner->onDeviceEvent(code); }

}  // namespace tyapi
