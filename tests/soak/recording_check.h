#pragma once
// Checks a recording file against the text lines its host sent while it was
// open: every line the host is certain was queued stands in the file exactly
// once and in the order sent; a line sent while a device event may have ended
// the recording may stand there or not, but not twice and not out of order;
// nothing else is there. Sample lines must be whole and their index must rise.

#include <string>
#include <vector>

#include "recording-reader/recording_reader.h"

namespace tyvarion::soak {

struct ExpectedText {
    std::string line;  // "trigger: 12", "message: ..."
    bool certain = true;
};

// Empty when the recording agrees; otherwise what is wrong, for the failure
// message.
std::string checkRecording(const tools::Recording& recording,
                           const std::vector<ExpectedText>& expected);

}  // namespace tyvarion::soak
