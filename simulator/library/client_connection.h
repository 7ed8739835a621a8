#pragma once
// One live connection of the simulated client library to the server: the
// handshake, the receive thread that delivers samples and device events, and
// the request/answer exchange.
//
// Threads: open(), request() and the destructor run on the caller's thread
// (one request at a time); the receive thread calls the listeners. Once the
// destructor has returned, no listener is called again.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "client/tyapi.h"
#include "net/endpoint.h"
#include "net/socket.h"
#include "protocol/frame_codec.h"

namespace tyvarion::sim {

// The listeners as registered with the library; they outlive every connection.
struct ListenerSlots {
    std::atomic<tyapi::TYApi::TYGazeSampleCallback*> gaze{nullptr};
    std::atomic<tyapi::TYApi::TYDeviceEventCallback*> device{nullptr};
};

class ClientConnection {
public:
    // Connects and completes the handshake within `timeout`; null on failure.
    static std::unique_ptr<ClientConnection> open(const Endpoint& endpoint, std::string_view clientName,
                                                  ListenerSlots& listeners,
                                                  std::chrono::milliseconds timeout);
    ~ClientConnection();
    ClientConnection(const ClientConnection&) = delete;
    ClientConnection& operator=(const ClientConnection&) = delete;

    // False once the connection has broken.
    bool alive() const;

    std::optional<ScreenAnswer> screen();
    std::optional<std::int32_t> start(std::int32_t mode);
    bool stop();
    std::optional<std::int32_t> calibrate(std::int32_t mode, std::chrono::milliseconds timeout);

    // Only open() can make one.
    class Key {
        friend class ClientConnection;
        Key() = default;
    };
    ClientConnection(Key, net::Socket socket, ListenerSlots& listeners);

private:

    // Sends a request whose id is filled in and waits for the answer of
    // `answerType`; nullopt when the connection breaks or the answer is late
    // (a late answer breaks the connection).
    template <typename Request>
    std::optional<Frame> request(Request request, FrameType answerType, std::chrono::milliseconds timeout);

    bool handshake(std::string_view clientName, std::chrono::steady_clock::time_point deadline);
    void receiveLoop();
    // Decodes and dispatches every complete frame; false on a protocol fault.
    bool dispatchFrames();
    bool dispatch(const Frame& frame);
    bool acceptAnswer(const Frame& frame, FrameType type, std::uint32_t id);
    void markBroken();
    // Ends the connection from any thread; the receive thread reports it.
    void breakOff();

    net::NetworkScope network_;
    net::Socket socket_;
    net::Receiver receiver_{socket_};  // the receive thread's; stopped by the destructor
    ListenerSlots& listeners_;
    // Received bytes not yet decoded; the handshake's leftovers pass to the receive thread.
    std::vector<std::uint8_t> buffer_;
    std::size_t filled_ = 0;

    std::mutex requestMutex_;  // one request in flight at a time

    mutable std::mutex stateMutex_;  // guards the fields below
    std::condition_variable answerArrived_;
    bool alive_ = true;
    std::uint32_t nextId_ = 1;
    std::optional<std::uint32_t> pendingId_;
    FrameType pendingType_ = FrameType::Welcome;
    std::optional<Frame> answer_;

    // Device events the server sent before its welcome, inside the connect
    // call: the receive thread delivers them before open() returns.
    std::vector<std::int32_t> earlyEvents_;
    bool earlyDelivered_ = false;  // guarded by stateMutex_

    std::atomic<bool> stopping_{false};
    std::thread receiveThread_;
};

}  // namespace tyvarion::sim
