#include "net/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <climits>

namespace tyvarion::sim::net {
namespace {

constexpr NativeSocket kInvalid = static_cast<NativeSocket>(INVALID_SOCKET);

SOCKET raw(NativeSocket handle) { return static_cast<SOCKET>(handle); }

timeval toTimeval(std::chrono::milliseconds timeout) {
    const long long millis = std::clamp<long long>(timeout.count(), 0, 1LL << 30);
    timeval value;
    value.tv_sec = static_cast<long>(millis / 1000);
    value.tv_usec = static_cast<long>((millis % 1000) * 1000);
    return value;
}

// Sockets must not leak into the processes that tests start.
NativeSocket prepare(SOCKET handle) {
    if (handle == INVALID_SOCKET) return kInvalid;
    ::SetHandleInformation(reinterpret_cast<HANDLE>(handle), HANDLE_FLAG_INHERIT, 0);
    BOOL on = TRUE;
    ::setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    return static_cast<NativeSocket>(handle);
}

SOCKET newSocket() {
    return ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                        WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
}

bool resolve(const std::string& host, std::uint16_t port, sockaddr_in& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
    address = *reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    ::freeaddrinfo(found);
    address.sin_port = htons(port);
    return true;
}

bool setBlocking(SOCKET handle, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return ::ioctlsocket(handle, FIONBIO, &nonBlocking) == 0;
}

}  // namespace

NetworkScope::NetworkScope() {
    WSADATA data;
    ok_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

NetworkScope::~NetworkScope() {
    if (ok_) ::WSACleanup();
}

Socket::Socket() : handle_(kInvalid) {}
Socket::Socket(NativeSocket handle) : handle_(handle) {}
Socket::~Socket() { close(); }
Socket::Socket(Socket&& other) noexcept : handle_(other.handle_) { other.handle_ = kInvalid; }
Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.handle_;
        other.handle_ = kInvalid;
    }
    return *this;
}

bool Socket::valid() const { return handle_ != kInvalid; }

void Socket::close() {
    if (handle_ != kInvalid) ::closesocket(raw(handle_));
    handle_ = kInvalid;
}

bool Socket::sendAll(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
        const int sent = ::send(raw(handle_), reinterpret_cast<const char*>(bytes.data()), chunk, 0);
        if (sent == SOCKET_ERROR || sent == 0) return false;
        bytes = bytes.subspan(static_cast<std::size_t>(sent));
    }
    return true;
}

std::ptrdiff_t Socket::receiveSome(std::span<std::uint8_t> buffer) {
    const int chunk = static_cast<int>(std::min<std::size_t>(buffer.size(), INT_MAX));
    const int received = ::recv(raw(handle_), reinterpret_cast<char*>(buffer.data()), chunk, 0);
    return received == SOCKET_ERROR ? -1 : received;
}

WaitResult Socket::waitReadable(std::chrono::milliseconds timeout) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(raw(handle_), &readable);
    timeval limit = toTimeval(timeout);
    const int ready = ::select(0, &readable, nullptr, nullptr, &limit);
    if (ready == SOCKET_ERROR) return WaitResult::Failed;
    return ready == 0 ? WaitResult::Timeout : WaitResult::Ready;
}

void Socket::shutdownBoth() {
    if (handle_ != kInvalid) ::shutdown(raw(handle_), SD_BOTH);
}

Socket Socket::accept() {
    return Socket(prepare(::accept(raw(handle_), nullptr, nullptr)));
}

std::uint16_t Socket::localPort() const {
    sockaddr_in address{};
    int length = sizeof address;
    if (::getsockname(raw(handle_), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

Receiver::Receiver(const Socket& socket) : socket_(socket.native()) {
    // Manual reset: each overlapped read resets its event as it starts.
    arrived_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    stopped_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

Receiver::~Receiver() {
    if (arrived_ != nullptr) ::CloseHandle(arrived_);
    if (stopped_ != nullptr) ::CloseHandle(stopped_);
}

std::ptrdiff_t Receiver::receive(std::span<std::uint8_t> buffer) {
    // The flag, not the event: under Wine a look at an event is a round trip
    // to the Wine server. A stop() after this look still sets the event, which
    // ends the wait below.
    if (arrived_ == nullptr || stopped_ == nullptr || stopRequested_.load(std::memory_order_acquire)) return -1;
    WSAOVERLAPPED overlapped{};
    overlapped.hEvent = arrived_;
    WSABUF part{static_cast<ULONG>(std::min<std::size_t>(buffer.size(), INT_MAX)),
                reinterpret_cast<char*>(buffer.data())};
    DWORD received = 0;
    DWORD flags = 0;
    if (::WSARecv(raw(socket_), &part, 1, &received, &flags, &overlapped, nullptr) == 0)
        return static_cast<std::ptrdiff_t>(received);
    if (::WSAGetLastError() != WSA_IO_PENDING) return -1;
    HANDLE events[] = {arrived_, stopped_};
    const DWORD woken = ::WaitForMultipleObjects(2, events, FALSE, INFINITE);
    if (woken != WAIT_OBJECT_0) ::CancelIoEx(reinterpret_cast<HANDLE>(raw(socket_)), &overlapped);
    // The read has ended, one way or the other, before `overlapped` and the buffer go.
    const BOOL done = ::WSAGetOverlappedResult(raw(socket_), &overlapped, &received, TRUE, &flags);
    if (woken != WAIT_OBJECT_0 || !done) return -1;
    return static_cast<std::ptrdiff_t>(received);
}

void Receiver::stop() {
    stopRequested_.store(true, std::memory_order_release);
    if (stopped_ != nullptr) ::SetEvent(stopped_);
}

Socket connectTo(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout) {
    sockaddr_in address{};
    if (!resolve(host, port, address)) return Socket();
    Socket socket(prepare(newSocket()));
    if (!socket.valid()) return Socket();
    const SOCKET handle = raw(socket.native());
    if (!setBlocking(handle, false)) return Socket();
    if (::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (::WSAGetLastError() != WSAEWOULDBLOCK) return Socket();
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(handle, &writable);
        FD_SET(handle, &failed);
        timeval limit = toTimeval(timeout);
        if (::select(0, nullptr, &writable, &failed, &limit) <= 0 || FD_ISSET(handle, &failed))
            return Socket();
        int error = 0;
        int length = sizeof error;
        if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 ||
            error != 0)
            return Socket();
    }
    if (!setBlocking(handle, true)) return Socket();
    return socket;
}

Socket listenOnLoopback(std::uint16_t port) {
    Socket socket(prepare(newSocket()));
    if (!socket.valid()) return Socket();
    const SOCKET handle = raw(socket.native());
    BOOL on = TRUE;
    ::setsockopt(handle, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(handle, 16) != 0)
        return Socket();
    return socket;
}

std::string lastErrorText() {
    const int code = ::WSAGetLastError();
    char text[256] = {};
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    return "error " + std::to_string(code) + (message.empty() ? "" : ": " + message);
}

}  // namespace tyvarion::sim::net
