// The client library against the real server program, started per test with
// scripted answers and faults.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "client/tyapi.h"
#include "harness/server_process.h"
#include "net/socket.h"
#include "protocol/frame_codec.h"
#include "sim_test_support.h"

namespace tyvarion::sim {
namespace {

using testing::Recorder;

std::int64_t nowMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A client connected to `server`, its listeners registered first.
std::unique_ptr<tyapi::TYApi> connectedClient(const ServerProcess& server, Recorder& recorder) {
    server.useForClients();
    auto client = std::make_unique<tyapi::TYApi>("NBS Presentation");
    client->registerGazeSampleListener(&recorder);
    client->registerDeviceEventListener(&recorder);
    EXPECT_EQ(client->connect(), tyapi::CONNECT_SUCCESS);
    return client;
}

TEST(SimClient, ConnectFailsWithNoServer) {
    std::uint16_t freePort;
    {
        net::NetworkScope network;
        freePort = net::listenOnLoopback(0).localPort();  // closed again at once
    }
    for (const std::string& endpoint : {"127.0.0.1:" + std::to_string(freePort), std::string("127.0.0.1"),
                                       std::string("127.0.0.1:99999")}) {
        SCOPED_TRACE(endpoint);
        setClientEndpoint(endpoint);
        Recorder recorder;
        tyapi::TYApi client("NBS Presentation");
        client.registerDeviceEventListener(&recorder);
        EXPECT_EQ(client.connect(), tyapi::CONNECT_FAILED);
        tyapi::ScreenConfig screen;
        screen.width = screen.height = -1;
        client.getActiveScreen(screen);
        EXPECT_EQ(screen.width, 0);
        EXPECT_EQ(screen.height, 0);
        EXPECT_EQ(client.requestTracking(0), tyapi::START_NOT_CONNECTED);
        EXPECT_EQ(client.calibrate(0), tyapi::CALIBRATE_NOT_CONNECTED);
        client.unrequestTracking();
        EXPECT_TRUE(recorder.events().empty());
    }
}

TEST(SimClient, ConnectFailsWhenTheServerRefuses) {
    ServerProcess server({"--refuse"});
    ASSERT_TRUE(server.running()) << server.output();
    server.useForClients();
    tyapi::TYApi client("NBS Presentation");
    EXPECT_EQ(client.connect(), tyapi::CONNECT_FAILED);
    EXPECT_EQ(client.requestTracking(0), tyapi::START_NOT_CONNECTED);
    server.stop();
    EXPECT_NE(server.output().find("connection 1 refused\n"), std::string::npos) << server.output();
}

TEST(SimClient, ScreenAndScriptedAnswersReachTheCaller) {
    ServerProcess server({"--screen", "1280x720", "--start-result", "4", "--calibrate-result", "2",
                          "--calibration-ms", "200"});
    ASSERT_TRUE(server.running()) << server.output();
    Recorder recorder;
    auto client = connectedClient(server, recorder);
    tyapi::ScreenConfig screen{};
    client->getActiveScreen(screen);
    EXPECT_EQ(screen.width, 1280);
    EXPECT_EQ(screen.height, 720);
    EXPECT_EQ(client->requestTracking(0), tyapi::START_DIFFERENT_FRAMERATE_MODE);
    EXPECT_EQ(client->calibrate(0), tyapi::CALIBRATE_NOT_TRACKING);
    client->unrequestTracking();
    client.reset();
    server.stop();
    EXPECT_NE(server.output().find("connection 1: client \"NBS Presentation\" connected\n"), std::string::npos)
        << server.output();
    // A refused start sends nothing.
    EXPECT_TRUE(recorder.samples().empty());
    EXPECT_EQ(server.samplesSent(), 0u);

    // Values outside the named results pass through unchanged.
    ServerProcess other({"--start-result", "7", "--calibrate-result", "-1"});
    ASSERT_TRUE(other.running()) << other.output();
    auto second = connectedClient(other, recorder);
    EXPECT_EQ(static_cast<int>(second->requestTracking(0)), 7);
    EXPECT_EQ(static_cast<int>(second->calibrate(0)), -1);
}

TEST(SimClient, SamplesArriveInOrderWithNoGapAt20kHz) {
    ServerProcess server({"--rate", "20000", "--samples", "40000"});
    ASSERT_TRUE(server.running()) << server.output();
    Recorder recorder;
    auto client = connectedClient(server, recorder);
    const std::int64_t before = nowMicros();
    ASSERT_EQ(client->requestTracking(0), tyapi::START_SUCCESS);
    ASSERT_TRUE(recorder.waitForSamples(40000)) << recorder.samples().size();
    client.reset();
    EXPECT_EQ(server.stop(), 0);
    EXPECT_EQ(server.samplesSent(), 40000u) << server.output();

    const auto samples = recorder.samples();
    ASSERT_EQ(samples.size(), 40000u);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        ASSERT_EQ(samples[i].index, static_cast<std::int32_t>(i));
        // One sample every 50 us on the server's clock.
        ASSERT_EQ(samples[i].timestampMicroSec - samples[0].timestampMicroSec, static_cast<std::int64_t>(50 * i));
    }
    // Time stamps are the system clock's microseconds since 1970.
    EXPECT_GE(samples[0].timestampMicroSec, before);
    EXPECT_LE(samples[0].timestampMicroSec, nowMicros());
    EXPECT_TRUE(recorder.events().empty());
}

TEST(SimClient, UnrequestTrackingStopsSamplesAndARestartContinuesTheCount) {
    ServerProcess server({"--rate", "2000"});
    ASSERT_TRUE(server.running()) << server.output();
    Recorder recorder;
    auto client = connectedClient(server, recorder);
    ASSERT_EQ(client->requestTracking(0), tyapi::START_SUCCESS);
    ASSERT_TRUE(recorder.waitForSamples(100));
    client->unrequestTracking();
    // Samples sent before the answer arrive before it; none follow it.
    const std::size_t stopped = recorder.samples().size();
    testing::settle();
    EXPECT_EQ(recorder.samples().size(), stopped);

    ASSERT_EQ(client->requestTracking(0), tyapi::START_SUCCESS);
    ASSERT_TRUE(recorder.waitForSamples(stopped + 100));
    const auto samples = recorder.samples();
    for (std::size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(samples[i].index, static_cast<std::int32_t>(i));
    EXPECT_GT(samples[stopped].timestampMicroSec - samples[stopped - 1].timestampMicroSec, 250000);
}

TEST(SimClient, NoCallbackAfterTheDestructorReturnsWhileSamplesFlood) {
    ServerProcess server({"--rate", "50000", "--event", "2@0", "--event", "5@1"});
    ASSERT_TRUE(server.running()) << server.output();
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        Recorder recorder;
        auto client = connectedClient(server, recorder);
        ASSERT_EQ(client->requestTracking(0), tyapi::START_SUCCESS);
        ASSERT_TRUE(recorder.waitForSamples(1000 * (round + 1)));
        client.reset();
        recorder.close();
        testing::settle();
        EXPECT_EQ(recorder.lateCalls(), 0);
        // Ending the connection is not a loss of it.
        for (std::int32_t code : recorder.events()) EXPECT_NE(code, tyapi::DEVICE_EVENT_CONNECTION_LOST);
    }
}

TEST(SimClient, DroppedConnectionDeliversEventOneOnce) {
    ServerProcess server({"--rate", "1000", "--drop-after-ms", "200"});
    ASSERT_TRUE(server.running()) << server.output();
    Recorder recorder;
    auto client = connectedClient(server, recorder);
    ASSERT_EQ(client->requestTracking(0), tyapi::START_SUCCESS);
    ASSERT_TRUE(recorder.waitForEvent(tyapi::DEVICE_EVENT_CONNECTION_LOST));
    const std::size_t received = recorder.samples().size();
    EXPECT_GT(received, 0u);
    EXPECT_EQ(client->requestTracking(0), tyapi::START_NOT_CONNECTED);
    EXPECT_EQ(client->calibrate(0), tyapi::CALIBRATE_NOT_CONNECTED);
    tyapi::ScreenConfig screen{};
    client->getActiveScreen(screen);
    EXPECT_EQ(screen.width, 0);
    testing::settle();
    EXPECT_EQ(recorder.events(), (std::vector<std::int32_t>{tyapi::DEVICE_EVENT_CONNECTION_LOST}));
    EXPECT_EQ(recorder.samples().size(), received);
    client.reset();
    server.stop();
    EXPECT_NE(server.output().find("connection 1: dropping the connection\n"), std::string::npos) << server.output();
}

TEST(SimClient, ServerExitDeliversEventOneOnce) {
    auto server = std::make_unique<ServerProcess>(std::vector<std::string>{"--rate", "500"});
    ASSERT_TRUE(server->running()) << server->output();
    Recorder recorder;
    auto client = connectedClient(*server, recorder);
    ASSERT_EQ(client->requestTracking(0), tyapi::START_SUCCESS);
    ASSERT_TRUE(recorder.waitForSamples(10));
    EXPECT_EQ(server->stop(), 0);
    ASSERT_TRUE(recorder.waitForEvent(tyapi::DEVICE_EVENT_CONNECTION_LOST));
    testing::settle();
    EXPECT_EQ(recorder.events(), (std::vector<std::int32_t>{tyapi::DEVICE_EVENT_CONNECTION_LOST}));
    EXPECT_EQ(server->samplesSent(), recorder.samples().size()) << server->output();
}

// A listener that holds the library's thread until released.
class StuckListener : public Recorder {
public:
    void onGazeSample(const tyapi::TYGazeSample& sample) override {
        Recorder::onGazeSample(sample);
        std::unique_lock lock(mutex_);
        released_.wait(lock, [this] { return free_; });
    }
    void release() {
        std::lock_guard lock(mutex_);
        free_ = true;
        released_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool free_ = false;
};

TEST(SimClient, ServerExitsWhileAClientHasStoppedReading) {
    ServerProcess server({"--rate", "50000"});
    ASSERT_TRUE(server.running()) << server.output();
    StuckListener listener;
    auto client = connectedClient(server, listener);
    ASSERT_EQ(client->requestTracking(0), tyapi::START_SUCCESS);
    ASSERT_TRUE(listener.waitForSamples(1));
    // Long enough at 50 kHz (14 MB) to fill both ends' socket buffers, so the
    // server's sends block behind the stuck listener.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(server.stop(), 0) << server.output();
    listener.release();
    ASSERT_TRUE(listener.waitForEvent(tyapi::DEVICE_EVENT_CONNECTION_LOST));
    client.reset();
    // What reached the client is a prefix of what the server sent, in order.
    // The server counts a write once all of it has gone out; the write that the
    // exit cut short may still have delivered some of its frames (at most 16).
    const auto samples = listener.samples();
    EXPECT_LE(samples.size(), server.samplesSent().value_or(0) + 16 * kMaxSamplesPerFrame);
    for (std::size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(samples[i].index, static_cast<std::int32_t>(i));
}

TEST(SimClient, ScriptedDeviceEventsArriveInTimeOrderAndFourEndsTheSamples) {
    ServerProcess server({"--rate", "1000", "--event", "4@300", "--event", "7@100"});
    ASSERT_TRUE(server.running()) << server.output();
    Recorder recorder;
    auto client = connectedClient(server, recorder);
    ASSERT_EQ(client->requestTracking(0), tyapi::START_SUCCESS);
    ASSERT_TRUE(recorder.waitForEvent(tyapi::DEVICE_EVENT_TRACKING_STOPPED));
    testing::settle();
    EXPECT_EQ(recorder.events(), (std::vector<std::int32_t>{7, tyapi::DEVICE_EVENT_TRACKING_STOPPED}));
    const auto atEvents = recorder.samplesAtEvents();
    ASSERT_EQ(atEvents.size(), 2u);
    EXPECT_GT(atEvents[0], 0u);
    EXPECT_GT(atEvents[1], atEvents[0]);
    EXPECT_EQ(recorder.samples().size(), atEvents[1]);  // nothing after the end of tracking
}

TEST(SimClient, ConcurrentClientsGetStreamsOfTheirOwn) {
    ServerProcess server({"--rate", "1000", "--samples", "300"});
    ASSERT_TRUE(server.running()) << server.output();
    Recorder first, second;
    auto a = connectedClient(server, first);
    auto b = connectedClient(server, second);
    ASSERT_EQ(a->requestTracking(0), tyapi::START_SUCCESS);
    ASSERT_EQ(b->requestTracking(0), tyapi::START_SUCCESS);
    ASSERT_TRUE(first.waitForSamples(300));
    ASSERT_TRUE(second.waitForSamples(300));
    a.reset();
    b.reset();
    server.stop();
    EXPECT_EQ(server.samplesSent(), 600u) << server.output();
    EXPECT_EQ(first.samples().back().index, 299);
    EXPECT_EQ(second.samples().back().index, 299);
}

TEST(SimClient, ReplaySendsTheRecordedSamples) {
    const std::string path = ::testing::TempDir() + "sim_client_replay.csv";
    {
        std::ofstream file(path, std::ios::binary);
        file << "Sep=;\r\n"
                "timestamp [us];\tindex;\tPOR X [px];\tPOR Y [px];\tPOR Left X [px];\tPOR Left Y [px];"
                "\tPupil Diam Left [mm];\tPOR Right X [px];\tPOR Right Y [px];\tPupil Diam Right [mm]\r\n"
                "1500;42;959.5;540.25;957;541;6.4;INVALID;INVALID;6.5;\r\n"
                "trigger: 17\r\n"
                "3500;43;960;541;958;542;6.2;962;540;6.3;\r\n"
                "message: a;b\r\n"
                "5500;44;INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;INVALID;\r\n";
    }
    ServerProcess server({"--replay", path});
    ASSERT_TRUE(server.running()) << server.output();
    Recorder recorder;
    auto client = connectedClient(server, recorder);
    ASSERT_EQ(client->requestTracking(0), tyapi::START_SUCCESS);
    ASSERT_TRUE(recorder.waitForSamples(3));
    testing::settle();
    client.reset();
    server.stop();
    std::remove(path.c_str());
    EXPECT_NE(server.output().find("connection 1: end of the recording\n"), std::string::npos) << server.output();

    const auto samples = recorder.samples();
    ASSERT_EQ(samples.size(), 3u);
    EXPECT_EQ(samples[0].timestampMicroSec, 1500);
    EXPECT_EQ(samples[0].index, 42);
    EXPECT_EQ(samples[0].porX, 959.5);
    EXPECT_EQ(samples[0].porLeftY, 541);
    EXPECT_EQ(samples[0].pupilRadiusLeft, 3.2);
    EXPECT_EQ(samples[0].porRightX, tyapi::TYInvalidValue);
    EXPECT_EQ(samples[0].pupilRadiusRight, 3.25);
    EXPECT_EQ(samples[1].timestampMicroSec, 3500);
    EXPECT_EQ(samples[1].porRightY, 540);
    EXPECT_EQ(samples[2].index, 44);
    EXPECT_EQ(samples[2].porX, tyapi::TYInvalidValue);
    EXPECT_EQ(samples[2].pupilRadiusRight, tyapi::TYInvalidValue);
}

TEST(SimServer, RejectsBadOptions) {
    ServerProcess badRate({"--rate", "60000"});
    EXPECT_FALSE(badRate.running());
    EXPECT_EQ(badRate.stop(), 2);
    EXPECT_EQ(badRate.output(), "tyvarion-sim-server: --rate: expects 1 to 50000\nsee --help\n");

    ServerProcess missingFile({"--replay", "no such recording.csv"});
    EXPECT_FALSE(missingFile.running());
    EXPECT_EQ(missingFile.stop(), 1);
    EXPECT_EQ(missingFile.output(), "tyvarion-sim-server: cannot open no such recording.csv\n");

    // Only a recording is replayed, refused as the tools refuse it.
    const std::string readme = ::testing::TempDir() + "sim_replay_README.md";
    std::ofstream(readme, std::ios::binary) << "# Tyvarion NBS\n\n```sh\nscripts/demo\n```\n";
    ServerProcess text({"--replay", readme});
    EXPECT_FALSE(text.running());
    EXPECT_EQ(text.stop(), 1);
    EXPECT_EQ(text.output(), "tyvarion-sim-server: not a recording: " + readme +
                                 " does not begin with the lines \"Sep=;\" and \"timestamp [us];<tab>index;...\"\n");
    std::remove(readme.c_str());
}

}  // namespace
}  // namespace tyvarion::sim

namespace tyvarion::sim {
namespace {

// Events scripted inside a call reach the listener before the call returns,
// and the call still answers as usual.
TEST(SimClient, EventsScriptedInsideACallArriveBeforeItReturns) {
    ServerProcess server({"--event", "3@connect", "--event", "5@connect", "--event", "1@screen", "--event",
                          "4@start", "--start-result", "0"});
    ASSERT_TRUE(server.running()) << server.output();
    testing::Recorder recorder;
    auto client = connectedClient(server, recorder);
    EXPECT_EQ(recorder.events(), (std::vector<std::int32_t>{3, 5}));
    tyapi::ScreenConfig screen{};
    client->getActiveScreen(screen);
    EXPECT_EQ(screen.width, 1920);
    EXPECT_EQ(recorder.events(), (std::vector<std::int32_t>{3, 5, 1}));
    EXPECT_EQ(client->requestTracking(0), tyapi::START_SUCCESS);
    EXPECT_EQ(recorder.events(), (std::vector<std::int32_t>{3, 5, 1, 4}));
    client->unrequestTracking();
    EXPECT_EQ(client->requestTracking(0), tyapi::START_SUCCESS);
    EXPECT_EQ(recorder.events(), (std::vector<std::int32_t>{3, 5, 1, 4, 4}));
}

}  // namespace
}  // namespace tyvarion::sim
