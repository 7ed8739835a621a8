// Calls a listener the way the maker's compiled code does, compiled by clang
// for a Microsoft target: slot 1 for the callback, slot 0 with flags 0 for an
// explicit destructor call and with flags 1 for delete.
#include "maker_declarations.h"

using tyapi::TYApi;

extern "C" {

void msvcOnGazeSample(TYApi::TYGazeSampleCallback* listener, const tyapi::TYGazeSample* sample) {
    listener->onGazeSample(*sample);
}
void msvcOnDeviceEvent(TYApi::TYDeviceEventCallback* listener, int code) { listener->onDeviceEvent(code); }

void msvcDestroyGazeListener(TYApi::TYGazeSampleCallback* listener) { listener->~TYGazeSampleCallback(); }
void msvcDeleteGazeListener(TYApi::TYGazeSampleCallback* listener) { delete listener; }
void msvcDestroyDeviceListener(TYApi::TYDeviceEventCallback* listener) { listener->~TYDeviceEventCallback(); }
void msvcDeleteDeviceListener(TYApi::TYDeviceEventCallback* listener) { delete listener; }

}  // extern "C"
