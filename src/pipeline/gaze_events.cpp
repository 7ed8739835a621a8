#include "pipeline/gaze_events.h"

#include <cstring>

namespace tyvarion {

std::size_t makeGazeEvents(const tyapi::TYGazeSample& sample, DataKinds selected,
                           const DisplayGeometry& geometry, GazeEvents& events) {
    std::size_t count = 0;
    makeGazeEvents(sample, selected, geometry, [&]() -> EyeTracker2GeneralData& {
        EyeTracker2GeneralData& event = events[count++];
        std::memset(&event, 0, sizeof event);
        return event;
    });
    return count;
}

}  // namespace tyvarion
