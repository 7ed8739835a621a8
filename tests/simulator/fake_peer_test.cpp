// Peers that break the protocol: a fake server against the client library,
// and a fake client against the server program.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <cstring>
#include <thread>
#include <vector>

#include "client/tyapi.h"
#include "harness/server_process.h"
#include "net/socket.h"
#include "protocol/frame_codec.h"
#include "sim_test_support.h"

namespace tyvarion::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::Recorder;

Bytes frame(const Frame& value) {
    Bytes bytes;
    appendFrame(bytes, value);
    return bytes;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes sampleFrame(std::int32_t first, int count) {
    std::vector<tyapi::TYGazeSample> samples(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::memset(&samples[i], 0, sizeof samples[i]);
        samples[i].index = first + i;
    }
    Bytes bytes;
    appendSamples(bytes, samples);
    return bytes;
}

// A server of one connection that reads the hello, then plays a script:
// bytes to send at once, and whether to answer the first request with a
// wrong id. It keeps the connection open until the test ends.
class FakeServer {
public:
    FakeServer(Bytes script, bool answerWithWrongId = false)
        : listener_(net::listenOnLoopback(0)) {
        setClientEndpoint("127.0.0.1:" + std::to_string(listener_.localPort()));
        thread_ = std::thread([this, script = std::move(script), answerWithWrongId] {
            while (listener_.waitReadable(std::chrono::milliseconds(50)) != net::WaitResult::Ready)
                if (stop_.load()) return;
            {
                std::lock_guard lock(mutex_);
                connection_ = listener_.accept();
            }
            Bytes received(kMaxFrameSize);
            std::size_t filled = 0;
            // The hello, then (optionally) one request.
            for (int frames = 0; frames < (answerWithWrongId ? 2 : 1);) {
                const DecodeResult result = decodeFrame(std::span(received.data(), filled));
                if (result.status == DecodeStatus::Complete) {
                    if (frames == 0) {
                        if (!connection_.sendAll(script)) return;
                    } else {
                        const auto* start = std::get_if<StartRequest>(&result.frame);
                        if (start == nullptr || !connection_.sendAll(frame(StartAnswer{start->id + 1, 0}))) return;
                    }
                    std::memmove(received.data(), received.data() + result.size, filled - result.size);
                    filled -= result.size;
                    ++frames;
                    continue;
                }
                if (result.status == DecodeStatus::Malformed) return;
                const std::ptrdiff_t count = connection_.receiveSome(std::span(received).subspan(filled));
                if (count <= 0) return;
                filled += static_cast<std::size_t>(count);
            }
        });
    }
    ~FakeServer() {
        stop_.store(true);
        {
            std::lock_guard lock(mutex_);
            connection_.shutdownBoth();
        }
        thread_.join();
    }

private:
    net::NetworkScope network_;
    net::Socket listener_;
    std::mutex mutex_;  // orders the accept before the destructor's shutdown
    net::Socket connection_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct Connected {
    Recorder recorder;
    tyapi::TYApi client{"NBS Presentation"};
    tyapi::ReturnConnect result;
    Connected() {
        client.registerGazeSampleListener(&recorder);
        client.registerDeviceEventListener(&recorder);
        result = client.connect();
    }
};

const Bytes kWelcome = frame(Welcome{kProtocolVersion});

TEST(SimClientFaults, MalformedFramesEndTheConnectionWithEventOne) {
    const Bytes unknownType = {0x01, 0, 0, 0, 0x42};
    const Bytes oversized = {0xFF, 0xFF, 0x00, 0x00, 0x90};
    const Bytes clientFrame = frame(Hello{1, "server?"});
    const Bytes secondWelcome = kWelcome;
    const Bytes shortEvent = {0x04, 0, 0, 0, 0x91, 1, 0, 0};
    const Bytes unsolicitedAnswer = frame(StartAnswer{1, 0});
    for (const Bytes& fault : {unknownType, oversized, clientFrame, secondWelcome, shortEvent, unsolicitedAnswer}) {
        SCOPED_TRACE(::testing::PrintToString(fault));
        // Two good samples, then the fault, then a sample that must not arrive.
        FakeServer server(kWelcome + sampleFrame(0, 2) + fault + sampleFrame(2, 1));
        Connected peer;
        ASSERT_EQ(peer.result, tyapi::CONNECT_SUCCESS);
        ASSERT_TRUE(peer.recorder.waitForEvent(tyapi::DEVICE_EVENT_CONNECTION_LOST));
        testing::settle();
        EXPECT_EQ(peer.recorder.events(), (std::vector<std::int32_t>{tyapi::DEVICE_EVENT_CONNECTION_LOST}));
        const auto samples = peer.recorder.samples();
        ASSERT_EQ(samples.size(), 2u);
        EXPECT_EQ(samples[1].index, 1);
        EXPECT_EQ(peer.client.requestTracking(0), tyapi::START_NOT_CONNECTED);
    }
}

TEST(SimClientFaults, TruncatedFrameThenCloseIsALostConnection) {
    const Bytes samples = sampleFrame(0, 3);
    std::unique_ptr<FakeServer> server =
        std::make_unique<FakeServer>(kWelcome + Bytes(samples.begin(), samples.end() - 10));
    Connected peer;
    ASSERT_EQ(peer.result, tyapi::CONNECT_SUCCESS);
    server.reset();  // closes with the frame unfinished
    ASSERT_TRUE(peer.recorder.waitForEvent(tyapi::DEVICE_EVENT_CONNECTION_LOST));
    EXPECT_TRUE(peer.recorder.samples().empty());
    EXPECT_EQ(peer.recorder.events(), (std::vector<std::int32_t>{tyapi::DEVICE_EVENT_CONNECTION_LOST}));
}

TEST(SimClientFaults, AnAnswerToAnotherRequestBreaksTheConnection) {
    FakeServer server(kWelcome, /*answerWithWrongId=*/true);
    Connected peer;
    ASSERT_EQ(peer.result, tyapi::CONNECT_SUCCESS);
    EXPECT_EQ(peer.client.requestTracking(0), tyapi::START_NOT_CONNECTED);
    ASSERT_TRUE(peer.recorder.waitForEvent(tyapi::DEVICE_EVENT_CONNECTION_LOST));
    EXPECT_EQ(peer.recorder.events(), (std::vector<std::int32_t>{tyapi::DEVICE_EVENT_CONNECTION_LOST}));
}

TEST(SimClientFaults, HandshakeFailuresFailTheConnect) {
    const Bytes wrongVersion = frame(Welcome{2});
    const Bytes notAWelcome = frame(DeviceEventFrame{1});
    const Bytes garbage = {0xFF, 0xFF, 0xFF, 0xFF};
    const Bytes silence = {};  // no answer within the connect timeout
    for (const Bytes& answer : {wrongVersion, notAWelcome, garbage, silence}) {
        SCOPED_TRACE(::testing::PrintToString(answer));
        FakeServer server(answer);
        Connected peer;
        EXPECT_EQ(peer.result, tyapi::CONNECT_FAILED);
        EXPECT_TRUE(peer.recorder.events().empty());
    }
}

// A fake client: raw bytes to the server program.
TEST(SimServerFaults, MalformedRequestsCloseOnlyThatConnection) {
    ServerProcess server({"--rate", "1000"});
    ASSERT_TRUE(server.running()) << server.output();
    net::NetworkScope network;
    const Bytes hello = frame(Hello{kProtocolVersion, "fake\ttool"});
    const Bytes faults[] = {
        {0xFF, 0xFF, 0xFF, 0xFF},         // oversized
        {0x01, 0, 0, 0, 0x7F},            // unknown type
        frame(StopAnswer{1}),             // a server's frame
        frame(Hello{kProtocolVersion, "again"}),
    };
    for (const Bytes& fault : faults) {
        net::Socket socket = net::connectTo("127.0.0.1", server.port(), std::chrono::seconds(5));
        ASSERT_TRUE(socket.valid());
        ASSERT_TRUE(socket.sendAll(hello + fault));
        // The welcome arrives, then the server closes the connection.
        Bytes received(64);
        std::size_t filled = 0;
        for (;;) {
            const std::ptrdiff_t count = socket.receiveSome(std::span(received).subspan(filled));
            if (count <= 0) break;
            filled += static_cast<std::size_t>(count);
        }
        EXPECT_EQ(Bytes(received.begin(), received.begin() + static_cast<std::ptrdiff_t>(filled)), kWelcome);
    }
    // A bad hello: no welcome at all.
    {
        net::Socket socket = net::connectTo("127.0.0.1", server.port(), std::chrono::seconds(5));
        ASSERT_TRUE(socket.sendAll(frame(Hello{7, "future"})));
        std::uint8_t byte;
        EXPECT_EQ(socket.receiveSome(std::span(&byte, 1)), 0);
    }
    // The server still serves a well-behaved client.
    server.useForClients();
    Recorder recorder;
    tyapi::TYApi client("NBS Presentation");
    client.registerGazeSampleListener(&recorder);
    ASSERT_EQ(client.connect(), tyapi::CONNECT_SUCCESS);
    ASSERT_EQ(client.requestTracking(0), tyapi::START_SUCCESS);
    EXPECT_TRUE(recorder.waitForSamples(10));
    server.stop();
    const std::string& output = server.output();
    EXPECT_NE(output.find("connection 1: client \"fake?tool\" connected\n"), std::string::npos) << output;
    EXPECT_NE(output.find("connection 4 closed after a malformed frame: sent 0 samples\n"), std::string::npos)
        << output;
    EXPECT_NE(output.find("connection 5 closed without a valid hello\n"), std::string::npos) << output;
    EXPECT_NE(output.find("connection 6: client \"NBS Presentation\" connected\n"), std::string::npos) << output;
}

}  // namespace
}  // namespace tyvarion::sim
