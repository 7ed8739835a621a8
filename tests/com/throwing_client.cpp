// A client for the test-only variant of the module: it connects, then throws
// while the tracker reads the screen, so every object creation fails after
// the client exists. The module exports how many clients are alive.
#include <atomic>
#include <stdexcept>

#include "client/tyapi.h"

namespace {
std::atomic<int> liveClients{0};
}

extern "C" int __stdcall TyvarionTestLiveClients() { return liveClients.load(); }

namespace tyapi {

struct TYApi::Impl {};

TYApi::TYApi(const char*) : impl_(std::make_unique<Impl>()) { ++liveClients; }
TYApi::~TYApi() { --liveClients; }
void TYApi::registerGazeSampleListener(TYGazeSampleCallback*) {}
void TYApi::registerDeviceEventListener(TYDeviceEventCallback*) {}
ReturnConnect TYApi::connect() { return CONNECT_SUCCESS; }
void TYApi::getActiveScreen(ScreenConfig&) const { throw std::runtime_error("screen unavailable"); }
ReturnStart TYApi::requestTracking(int) { return START_NOT_CONNECTED; }
void TYApi::unrequestTracking() {}
ReturnCalibrate TYApi::calibrate(int) { return CALIBRATE_NOT_CONNECTED; }

}  // namespace tyapi
