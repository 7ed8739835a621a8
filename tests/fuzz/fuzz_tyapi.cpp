#include "fuzz_tyapi.h"

namespace tyapi {

struct TYApi::Impl {
    fuzz_client::Script script;
    TYGazeSampleCallback* gaze = nullptr;
    TYDeviceEventCallback* device = nullptr;
};

}  // namespace tyapi

namespace fuzz_client {
namespace {
tyapi::TYApi::Impl* live = nullptr;
}

Script& script() {
    static Script current;
    return current;
}

void deliverSample(const tyapi::TYGazeSample& sample) {
    if (live != nullptr && live->gaze != nullptr) live->gaze->onGazeSample(sample);
}

void deliverDeviceEvent(std::int32_t code) {
    if (live != nullptr && live->device != nullptr) live->device->onDeviceEvent(code);
}

}  // namespace fuzz_client

namespace tyapi {

TYApi::TYApi(const char*) : impl_(std::make_unique<Impl>()) {
    impl_->script = fuzz_client::script();
    fuzz_client::live = impl_.get();
}

TYApi::~TYApi() { fuzz_client::live = nullptr; }

void TYApi::registerGazeSampleListener(TYGazeSampleCallback* listener) { impl_->gaze = listener; }
void TYApi::registerDeviceEventListener(TYDeviceEventCallback* listener) { impl_->device = listener; }
ReturnConnect TYApi::connect() { return static_cast<ReturnConnect>(impl_->script.connectResult); }

void TYApi::getActiveScreen(ScreenConfig& screen) const {
    screen.width = impl_->script.screenWidth;
    screen.height = impl_->script.screenHeight;
}

ReturnStart TYApi::requestTracking(int) { return static_cast<ReturnStart>(impl_->script.startResult); }
void TYApi::unrequestTracking() {}
ReturnCalibrate TYApi::calibrate(int) { return static_cast<ReturnCalibrate>(impl_->script.calibrateResult); }

}  // namespace tyapi
