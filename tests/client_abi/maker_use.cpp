// Uses every member the plug-in binds, so that the object file compiled for a
// Microsoft target imports each under its decorated name, and derives from
// both callbacks, so that their virtual-function tables are laid out (and
// dumped with -fdump-vtable-layouts).
#include TYAPI_DECLARATIONS

// A maker's header defines none of these; -DTYAPI_SCREEN_BY_POINTER and
// -DTYAPI_MARKER_MEMBER tell this file how to use one that takes a pointer or
// keeps the marker in TYApi.
#ifndef TYAPI_SCREEN_ARGUMENT
#ifdef TYAPI_SCREEN_BY_POINTER
#define TYAPI_SCREEN_ARGUMENT(screen) (&(screen))
#else
#define TYAPI_SCREEN_ARGUMENT(screen) (screen)
#endif
#endif
#ifndef TYAPI_MARKER
#ifdef TYAPI_MARKER_MEMBER
#define TYAPI_MARKER tyapi::TYApi::TYInvalidValue
#else
#define TYAPI_MARKER tyapi::TYInvalidValue
#endif
#endif

namespace {
struct GazeProbe : tyapi::TYApi::TYGazeSampleCallback {
    void onGazeSample(const tyapi::TYGazeSample&) override {}
};
struct DeviceProbe : tyapi::TYApi::TYDeviceEventCallback {
    void onDeviceEvent(int) override {}
};
}  // namespace

double useEveryMember() {
    GazeProbe gaze;
    DeviceProbe device;
    tyapi::TYApi api("NBS Presentation");
    api.registerGazeSampleListener(&gaze);
    api.registerDeviceEventListener(&device);
    tyapi::ScreenConfig screen;
    int results = api.connect();
    api.getActiveScreen(TYAPI_SCREEN_ARGUMENT(screen));
    results += api.requestTracking(0);
    api.unrequestTracking();
    results += api.calibrate(0);
    return TYAPI_MARKER + screen.width + results;
}
