#pragma once
// A small portable seam over TCP sockets (POSIX and Winsock), just what the
// simulated client and server need. Sockets are not inherited by child
// processes, and writing to a closed connection never raises a signal.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tyvarion::sim::net {

#ifdef _WIN32
using NativeSocket = std::uintptr_t;
#else
using NativeSocket = int;
#endif

// Winsock must be started before any socket call and stopped after the last;
// each user holds one of these while it uses sockets (a no-op on POSIX).
class NetworkScope {
public:
    NetworkScope();
    ~NetworkScope();
    NetworkScope(const NetworkScope&) = delete;
    NetworkScope& operator=(const NetworkScope&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = true;
};

enum class WaitResult { Ready, Timeout, Failed };

// One owned socket. Any thread may call shutdownBoth() while another is
// blocked in receiveSome(); closing waits for the destructor.
class Socket {
public:
    Socket();
    explicit Socket(NativeSocket handle);
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool valid() const;
    NativeSocket native() const { return handle_; }

    // Sends every byte; false when the connection has failed.
    bool sendAll(std::span<const std::uint8_t> bytes);
    // Bytes read (> 0), 0 when the peer has closed, -1 on failure.
    std::ptrdiff_t receiveSome(std::span<std::uint8_t> buffer);
    WaitResult waitReadable(std::chrono::milliseconds timeout);
    // Ends both directions: a blocked reader wakes, the peer sees the end.
    void shutdownBoth();

    // Listening sockets.
    Socket accept();
    std::uint16_t localPort() const;

private:
    void close();
    NativeSocket handle_;
};

// The receiving end of one socket for the one thread that reads it, which any
// other thread can stop at any moment, also before it starts to wait.
// receive() waits for bytes without waking periodically and reads what has
// come in one call: under Wine every socket call is a round trip to the Wine
// server, so a wait followed by a read, or a wait that wakes to look at a
// flag, costs each arrival twice or more.
class Receiver {
public:
    explicit Receiver(const Socket& socket);
    ~Receiver();
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    // Bytes read (> 0), 0 when the peer has closed, -1 on failure or once
    // stop() was called (or when the receiver could not be set up).
    std::ptrdiff_t receive(std::span<std::uint8_t> buffer);
    void stop();

private:
    NativeSocket socket_;
#ifdef _WIN32
    void* arrived_ = nullptr;  // events: the read's completion, the stop
    void* stopped_ = nullptr;
    std::atomic<bool> stopRequested_{false};
#else
    int wake_[2] = {-1, -1};  // a pipe: stop() writes, receive() polls the reading end
#endif
};

// Connects to host:port (IPv4; a numeric address or a name such as
// "localhost") within the timeout; an invalid socket on failure.
Socket connectTo(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout);

// Listens on 127.0.0.1; port 0 picks a free port. Invalid on failure.
Socket listenOnLoopback(std::uint16_t port);

// The system's text for the last socket error.
std::string lastErrorText();

}  // namespace tyvarion::sim::net
