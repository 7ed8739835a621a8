#pragma once
// One element of the recording queue: a copied gaze sample, or a complete text
// line without its line end. Exactly one of the two is present.

#include <optional>
#include <string>

#include "client/tyapi.h"

namespace tyvarion {

struct RecordingEntry {
    std::optional<tyapi::TYGazeSample> sample;
    std::optional<std::string> text;
};

}  // namespace tyvarion
