// Uses every member the plug-in binds, so that the object file compiled for a
// Microsoft target imports each under its decorated name, and derives from
// both callbacks, so that their virtual-function tables are laid out (and
// dumped with -fdump-vtable-layouts).
#include TYAPI_DECLARATIONS

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
