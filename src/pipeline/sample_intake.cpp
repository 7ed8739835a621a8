// Sample intake. (Skeleton until the gaze data pipeline lands.)
#include "tracker/tyvarion.h"

namespace tyvarion {

void Tyvarion::handleGazeSample(const tyapi::TYGazeSample&) {}
void Tyvarion::onDeviceEvent(std::int32_t) {}

}  // namespace tyvarion
