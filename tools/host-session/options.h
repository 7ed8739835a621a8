#pragma once
// The command line of host-session.

#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "host-session/host_tracker.h"

namespace tyvarion::host {

struct SessionOptions {
    int trials = 3;
    int trialMs = 2000;
    double frameRateHz = 60;  // the host's polling rate
    LONG displayWidth = 1920;
    LONG displayHeight = 1080;
    Binding binding = Binding::early;
    // Where to write the recording file's path, for scripts; empty: nowhere.
    std::string recordingPathFile;
    bool help = false;
};

// The options, or the text of the first error ("--trials: expects 1 to 1000").
std::variant<SessionOptions, std::string> parseOptions(std::span<const std::string_view> arguments);

extern const char* const kUsage;

}  // namespace tyvarion::host
