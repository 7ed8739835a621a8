#include "fake_tyapi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <new>

namespace tyapi {

struct TYApi::Impl {
    std::atomic<TYGazeSampleCallback*> gazeListener{nullptr};
    std::atomic<TYDeviceEventCallback*> deviceListener{nullptr};
    bool connected = false;
};

}  // namespace tyapi

namespace fake {
namespace {

std::mutex stateMutex;
ClientScript currentScript;
std::vector<std::string> callLog;
std::atomic<tyapi::TYApi::Impl*> liveClient{nullptr};

void record(std::string call) {
    std::lock_guard lock(stateMutex);
    callLog.push_back(std::move(call));
}

ClientScript scriptCopy() {
    std::lock_guard lock(stateMutex);
    return currentScript;
}

}  // namespace

ClientScript& FakeClient::script() { return currentScript; }

void FakeClient::reset() {
    std::lock_guard lock(stateMutex);
    currentScript = ClientScript{};
    callLog.clear();
}

std::vector<std::string> FakeClient::calls() {
    std::lock_guard lock(stateMutex);
    return callLog;
}

void FakeClient::clearCalls() {
    std::lock_guard lock(stateMutex);
    callLog.clear();
}

bool FakeClient::alive() { return liveClient.load() != nullptr; }

tyapi::TYApi::TYGazeSampleCallback* FakeClient::gazeListener() {
    tyapi::TYApi::Impl* client = liveClient.load();
    return client != nullptr ? client->gazeListener.load() : nullptr;
}

tyapi::TYApi::TYDeviceEventCallback* FakeClient::deviceEventListener() {
    tyapi::TYApi::Impl* client = liveClient.load();
    return client != nullptr ? client->deviceListener.load() : nullptr;
}

void FakeClient::deliverSample(const tyapi::TYGazeSample& sample) {
    tyapi::TYApi::Impl* client = liveClient.load();
    ASSERT_NE(client, nullptr) << "sample delivered with no live client";
    if (auto* listener = client->gazeListener.load()) listener->onGazeSample(sample);
}

void FakeClient::deliverDeviceEvent(std::int32_t code) {
    tyapi::TYApi::Impl* client = liveClient.load();
    ASSERT_NE(client, nullptr) << "device event delivered with no live client";
    if (auto* listener = client->deviceListener.load()) listener->onDeviceEvent(code);
}

tyapi::TYGazeSample validSample(std::int64_t timestamp, std::int32_t index) {
    tyapi::TYGazeSample sample;
    std::memset(&sample, 0, sizeof sample);
    sample.timestampMicroSec = timestamp;
    sample.index = index;
    sample.porX = 960.0;
    sample.porY = 540.0;
    sample.porLeftX = 958.0;
    sample.porLeftY = 540.0;
    sample.porRightX = 962.0;
    sample.porRightY = 540.0;
    sample.pupilRadiusLeft = 2.0;
    sample.pupilRadiusRight = 3.0;
    return sample;
}

}  // namespace fake

namespace tyapi {

using fake::record;

namespace {
void deliverInCall(TYApi::Impl& client, std::int32_t code) {
    if (code == 0) return;
    record("device event " + std::to_string(code));
    if (auto* listener = client.deviceListener.load()) listener->onDeviceEvent(code);
}
}  // namespace

TYApi::TYApi(const char* clientName) : impl_(std::make_unique<Impl>()) {
    record(std::string("TYApi(") + (clientName ? clientName : "null") + ")");
    EXPECT_EQ(fake::liveClient.load(), nullptr) << "two clients alive at once";
    fake::liveClient = impl_.get();
}

TYApi::~TYApi() {
    fake::liveClient = nullptr;
    record("~TYApi");
}

void TYApi::registerGazeSampleListener(TYGazeSampleCallback* listener) {
    record("registerGazeSampleListener");
    EXPECT_NE(listener, nullptr);
    impl_->gazeListener = listener;
}

void TYApi::registerDeviceEventListener(TYDeviceEventCallback* listener) {
    record("registerDeviceEventListener");
    EXPECT_NE(listener, nullptr);
    impl_->deviceListener = listener;
}

ReturnConnect TYApi::connect() {
    record("connect");
    EXPECT_FALSE(impl_->connected) << "connect called twice";
    const fake::ClientScript script = fake::scriptCopy();
    if (script.connectThrows) throw std::bad_alloc();
    impl_->connected = script.connectResult == CONNECT_SUCCESS;
    deliverInCall(*impl_, script.eventInConnect);
    return static_cast<ReturnConnect>(script.connectResult);
}

void TYApi::getActiveScreen(ScreenConfig& screen) const {
    record("getActiveScreen");
    EXPECT_TRUE(impl_->connected) << "getActiveScreen without a connection";
    const fake::ClientScript script = fake::scriptCopy();
    screen.width = script.screenWidth;
    screen.height = script.screenHeight;
    deliverInCall(*impl_, script.eventInGetActiveScreen);
}

ReturnStart TYApi::requestTracking(int mode) {
    record("requestTracking(" + std::to_string(mode) + ")");
    const fake::ClientScript script = fake::scriptCopy();
    deliverInCall(*impl_, script.eventInRequestTracking);
    return static_cast<ReturnStart>(script.startResult);
}

void TYApi::unrequestTracking() { record("unrequestTracking"); }

ReturnCalibrate TYApi::calibrate(int mode) {
    record("calibrate(" + std::to_string(mode) + ")");
    return static_cast<ReturnCalibrate>(fake::scriptCopy().calibrateResult);
}

}  // namespace tyapi
