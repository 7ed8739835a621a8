// tyapi::TYApi over the simulated client, for builds that link the client
// directly (natively, and the simulator's own tests).
#include <memory>

#include "client/tyapi.h"
#include "library/sim_client.h"

namespace tyapi {

struct TYApi::Impl {
    explicit Impl(const char* clientName) : client(clientName) {}
    tyvarion::sim::SimClient client;
};

TYApi::TYApi(const char* clientName) : impl_(std::make_unique<Impl>(clientName)) {}
TYApi::~TYApi() = default;

void TYApi::registerGazeSampleListener(TYGazeSampleCallback* listener) {
    impl_->client.registerGazeSampleListener(listener);
}
void TYApi::registerDeviceEventListener(TYDeviceEventCallback* listener) {
    impl_->client.registerDeviceEventListener(listener);
}
ReturnConnect TYApi::connect() { return impl_->client.connect(); }
void TYApi::getActiveScreen(ScreenConfig& screen) const { impl_->client.getActiveScreen(screen); }
ReturnStart TYApi::requestTracking(int mode) { return impl_->client.requestTracking(mode); }
void TYApi::unrequestTracking() { impl_->client.unrequestTracking(); }
ReturnCalibrate TYApi::calibrate(int mode) { return impl_->client.calibrate(mode); }

}  // namespace tyapi
