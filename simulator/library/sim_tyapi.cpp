// The simulated client library: tyapi::TYApi over a loopback connection to
// tyvarion-sim-server. The server's address comes from TYVARION_SERVER.
#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include "client/tyapi.h"
#include "library/client_connection.h"
#include "net/endpoint.h"

namespace tyapi {
namespace {

constexpr std::chrono::milliseconds kConnectTimeout{900};
// A server's calibration runs as long as it takes the participant; the
// library waits up to this long for its answer.
constexpr std::chrono::milliseconds kCalibrationTimeout{120000};

}  // namespace

struct TYApi::Impl {
    std::string clientName;
    tyvarion::sim::ListenerSlots listeners;
    // Declared last: destroyed first, so its thread stops before the slots go.
    std::unique_ptr<tyvarion::sim::ClientConnection> connection;

    bool connected() const { return connection != nullptr && connection->alive(); }
};

TYApi::TYApi(const char* clientName) : impl_(std::make_unique<Impl>()) {
    impl_->clientName = clientName != nullptr ? clientName : "";
}

TYApi::~TYApi() = default;

void TYApi::registerGazeSampleListener(TYGazeSampleCallback* listener) {
    impl_->listeners.gaze.store(listener);
}

void TYApi::registerDeviceEventListener(TYDeviceEventCallback* listener) {
    impl_->listeners.device.store(listener);
}

ReturnConnect TYApi::connect() {
    if (impl_->connected()) return CONNECT_SUCCESS;
    impl_->connection.reset();  // a broken earlier connection: its thread has ended
    const auto endpoint = tyvarion::sim::endpointFromEnvironment();
    if (!endpoint) return CONNECT_FAILED;
    impl_->connection = tyvarion::sim::ClientConnection::open(*endpoint, impl_->clientName,
                                                             impl_->listeners, kConnectTimeout);
    return impl_->connection ? CONNECT_SUCCESS : CONNECT_FAILED;
}

void TYApi::getActiveScreen(ScreenConfig& screen) const {
    std::memset(&screen, 0, sizeof screen);
    if (!impl_->connected()) return;
    if (const auto answer = impl_->connection->screen()) {
        screen.width = answer->width;
        screen.height = answer->height;
    }
}

ReturnStart TYApi::requestTracking(int mode) {
    if (!impl_->connected()) return START_NOT_CONNECTED;
    const auto result = impl_->connection->start(mode);
    return result ? static_cast<ReturnStart>(*result) : START_NOT_CONNECTED;
}

void TYApi::unrequestTracking() {
    if (impl_->connected()) impl_->connection->stop();
}

ReturnCalibrate TYApi::calibrate(int mode) {
    if (!impl_->connected()) return CALIBRATE_NOT_CONNECTED;
    const auto result = impl_->connection->calibrate(mode, kCalibrationTimeout);
    return result ? static_cast<ReturnCalibrate>(*result) : CALIBRATE_NOT_CONNECTED;
}

}  // namespace tyapi
