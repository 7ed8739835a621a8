#include "pipeline/gaze_events.h"

namespace tyvarion {

std::size_t makeGazeEvents(const tyapi::TYGazeSample& sample, DataKinds selected,
                           const DisplayGeometry& geometry, GazeEvents& events) {
    std::size_t count = 0;
    makeGazeEvents(sample, selected, geometry,
                   [&]() -> EyeTracker2GeneralData& { return events[count++] = {}; });
    return count;
}

}  // namespace tyvarion
