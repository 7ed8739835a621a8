#pragma once
// The client library for the host-call fuzzer: answers as the fuzzer's input
// says, and lets the fuzzer deliver samples and device events to the
// registered listeners on its own thread, so that one input replays exactly.

#include <cstdint>

#include "client/tyapi.h"

namespace fuzz_client {

struct Script {
    int connectResult = tyapi::CONNECT_SUCCESS;
    std::int32_t screenWidth = 1920;
    std::int32_t screenHeight = 1080;
    int startResult = tyapi::START_SUCCESS;
    int calibrateResult = tyapi::CALIBRATE_SUCCESS;
};

// The answers of the next client constructed.
Script& script();

// To the live client's listeners, if any; on the calling thread.
void deliverSample(const tyapi::TYGazeSample& sample);
void deliverDeviceEvent(std::int32_t code);

}  // namespace fuzz_client
