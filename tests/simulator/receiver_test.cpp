// The receiving end of a socket, as the client library's receive thread uses
// it: bytes as they come, 0 once the peer has closed, and -1 once stopped,
// whether the stop comes before the read or while it waits. A stop that a
// waiting read misses would hang the client library's destructor.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <future>
#include <thread>

#include "net/socket.h"

namespace tyvarion::sim::net {
namespace {

using namespace std::chrono_literals;

// Both ends of one loopback connection.
class ReceiverTest : public ::testing::Test {
protected:
    void SetUp() override {
        client = connectTo("127.0.0.1", listener.localPort(), 5s);
        server = listener.accept();
        ASSERT_TRUE(client.valid());
        ASSERT_TRUE(server.valid());
    }

    NetworkScope network;
    Socket listener = listenOnLoopback(0);
    Socket client;
    Socket server;
};

TEST_F(ReceiverTest, GivesTheBytesThatCameThenZeroOnceThePeerHasClosed) {
    Receiver receiver(client);
    const std::array<std::uint8_t, 3> sent{7, 8, 9};
    ASSERT_TRUE(server.sendAll(sent));

    std::array<std::uint8_t, 16> buffer{};
    std::size_t received = 0;
    while (received < sent.size()) {
        const std::ptrdiff_t count = receiver.receive(std::span(buffer).subspan(received));
        ASSERT_GT(count, 0);
        received += static_cast<std::size_t>(count);
    }
    EXPECT_EQ(received, 3u);
    EXPECT_EQ(buffer[0], 7);
    EXPECT_EQ(buffer[1], 8);
    EXPECT_EQ(buffer[2], 9);

    server = Socket();
    EXPECT_EQ(receiver.receive(buffer), 0);
}

TEST_F(ReceiverTest, AStopBeforeTheReadEndsEveryReadEvenWithBytesWaiting) {
    Receiver receiver(client);
    const std::array<std::uint8_t, 1> sent{1};
    ASSERT_TRUE(server.sendAll(sent));

    receiver.stop();
    std::array<std::uint8_t, 16> buffer{};
    EXPECT_EQ(receiver.receive(buffer), -1);
    EXPECT_EQ(receiver.receive(buffer), -1);
}

TEST_F(ReceiverTest, AStopFromAnotherThreadEndsAReadThatWaitsForNothing) {
    Receiver receiver(client);
    std::array<std::uint8_t, 16> buffer{};
    auto read = std::async(std::launch::async, [&] { return receiver.receive(buffer); });
    // Most likely the read waits by now; a stop that comes first must end it too.
    std::this_thread::sleep_for(50ms);
    receiver.stop();
    EXPECT_EQ(read.get(), -1);
    // The connection itself is still whole: the peer can go on sending.
    const std::array<std::uint8_t, 1> sent{1};
    EXPECT_TRUE(server.sendAll(sent));
}

}  // namespace
}  // namespace tyvarion::sim::net
