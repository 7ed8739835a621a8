#include "library/sim_client.h"

#include <chrono>
#include <cstring>

#include "net/endpoint.h"

namespace tyvarion::sim {
namespace {

constexpr std::chrono::milliseconds kConnectTimeout{900};
// A server's calibration runs as long as it takes the participant; the
// library waits up to this long for its answer.
constexpr std::chrono::milliseconds kCalibrationTimeout{120000};

}  // namespace

SimClient::SimClient(const char* clientName) : clientName_(clientName != nullptr ? clientName : "") {}

SimClient::~SimClient() = default;

bool SimClient::connected() const { return connection_ != nullptr && connection_->alive(); }

void SimClient::registerGazeSampleListener(tyapi::TYApi::TYGazeSampleCallback* listener) {
    listeners_.gaze.store(listener);
}

void SimClient::registerDeviceEventListener(tyapi::TYApi::TYDeviceEventCallback* listener) {
    listeners_.device.store(listener);
}

tyapi::ReturnConnect SimClient::connect() {
    if (connected()) return tyapi::CONNECT_SUCCESS;
    connection_.reset();  // a broken earlier connection: its thread has ended
    const auto endpoint = endpointFromEnvironment();
    if (!endpoint) return tyapi::CONNECT_FAILED;
    connection_ = ClientConnection::open(*endpoint, clientName_, listeners_, kConnectTimeout);
    return connection_ ? tyapi::CONNECT_SUCCESS : tyapi::CONNECT_FAILED;
}

void SimClient::getActiveScreen(tyapi::ScreenConfig& screen) const {
    std::memset(&screen, 0, sizeof screen);
    if (!connected()) return;
    if (const auto answer = connection_->screen()) {
        screen.width = answer->width;
        screen.height = answer->height;
    }
}

tyapi::ReturnStart SimClient::requestTracking(int mode) {
    if (!connected()) return tyapi::START_NOT_CONNECTED;
    const auto result = connection_->start(mode);
    return result ? static_cast<tyapi::ReturnStart>(*result) : tyapi::START_NOT_CONNECTED;
}

void SimClient::unrequestTracking() {
    if (connected()) connection_->stop();
}

tyapi::ReturnCalibrate SimClient::calibrate(int mode) {
    if (!connected()) return tyapi::CALIBRATE_NOT_CONNECTED;
    const auto result = connection_->calibrate(mode, kCalibrationTimeout);
    return result ? static_cast<tyapi::ReturnCalibrate>(*result) : tyapi::CALIBRATE_NOT_CONNECTED;
}

}  // namespace tyvarion::sim
