// A client for builds without an eye-tracking server: every connection attempt
// fails, so the plug-in runs in its not-connected state.
#include "client/tyapi.h"

namespace tyapi {

struct TYApi::Impl {};

TYApi::TYApi(const char*) : impl_(std::make_unique<Impl>()) {}
TYApi::~TYApi() = default;
void TYApi::registerGazeSampleListener(TYGazeSampleCallback*) {}
void TYApi::registerDeviceEventListener(TYDeviceEventCallback*) {}
ReturnConnect TYApi::connect() { return CONNECT_FAILED; }
void TYApi::getActiveScreen(ScreenConfig& screen) const {
    screen.width = 0;
    screen.height = 0;
}
ReturnStart TYApi::requestTracking(int) { return START_NOT_CONNECTED; }
void TYApi::unrequestTracking() {}
ReturnCalibrate TYApi::calibrate(int) { return CALIBRATE_NOT_CONNECTED; }

}  // namespace tyapi
