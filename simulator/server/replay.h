#pragma once
// A recording's sample line as the server sends it again. The file is read
// by the tools' recording reader, so the server replays exactly what the
// tools take for a recording.

#include "client/tyapi.h"
#include "recording-reader/recording_reader.h"

namespace tyvarion::sim {

// Missing values (a point without X or Y, a pupil without a diameter) become
// TYInvalidValue; the file's pupil diameters become radii.
tyapi::TYGazeSample replayedSample(const tools::RecordedSample& recorded);

}  // namespace tyvarion::sim
