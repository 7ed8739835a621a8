#pragma once
// A scriptable stand-in for the eye-tracking client library. A test sets the
// answers before it constructs a tracker object, reads the calls the object
// made, in order, and delivers samples and device events to the registered
// listeners synchronously on the calling thread.

#include <cstdint>
#include <string>
#include <vector>

#include "client/tyapi.h"

namespace fake {

struct ClientScript {
    int connectResult = tyapi::CONNECT_SUCCESS;
    std::int32_t screenWidth = 1920;
    std::int32_t screenHeight = 1080;
    int startResult = tyapi::START_SUCCESS;
    int calibrateResult = tyapi::CALIBRATE_SUCCESS;
    bool connectThrows = false;  // connect() throws std::bad_alloc
    // A device event the client delivers from inside the call, before it
    // returns, as a library's thread may; 0: none.
    std::int32_t eventInConnect = 0;
    std::int32_t eventInGetActiveScreen = 0;
    std::int32_t eventInRequestTracking = 0;
};

class FakeClient {
public:
    // The answers of the next client constructed (and of the live one).
    static ClientScript& script();
    // Restores the default script and clears the call log.
    static void reset();

    // Calls made so far, for example "TYApi(NBS Presentation)", "connect",
    // "requestTracking(0)", "~TYApi".
    static std::vector<std::string> calls();
    static void clearCalls();

    // Whether a client exists (constructed and not yet destroyed).
    static bool alive();

    // The listeners registered with the live client (null when none), for
    // tests that call them as the library's compiled code does.
    static tyapi::TYApi::TYGazeSampleCallback* gazeListener();
    static tyapi::TYApi::TYDeviceEventCallback* deviceEventListener();

    // Deliver to the live client's listeners on the calling thread. Safe to call
    // from any thread while the client lives.
    static void deliverSample(const tyapi::TYGazeSample& sample);
    static void deliverDeviceEvent(std::int32_t code);
};

// A sample with every field valid: binocular point at the centre of a
// 1920 x 1080 screen, eyes 4 px apart, pupil radii 2.0 and 3.0 mm.
tyapi::TYGazeSample validSample(std::int64_t timestamp = 1000, std::int32_t index = 1);

}  // namespace fake
