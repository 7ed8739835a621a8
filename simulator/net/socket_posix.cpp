#include "net/socket.h"

#include <arpa/inet.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tyvarion::sim::net {
namespace {

constexpr NativeSocket kInvalid = -1;

int toMillis(std::chrono::milliseconds timeout) {
    return timeout.count() < 0 ? 0 : static_cast<int>(std::min<long long>(timeout.count(), 1 << 30));
}

void setNoDelay(NativeSocket handle) {
    int on = 1;
    ::setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool resolve(const std::string& host, std::uint16_t port, sockaddr_in& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
    std::memcpy(&address, found->ai_addr, sizeof address);
    ::freeaddrinfo(found);
    address.sin_port = htons(port);
    return true;
}

}  // namespace

NetworkScope::NetworkScope() = default;
NetworkScope::~NetworkScope() = default;

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
    if (handle_ != kInvalid) ::close(handle_);
    handle_ = kInvalid;
}

bool Socket::sendAll(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(handle_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes = bytes.subspan(static_cast<std::size_t>(sent));
    }
    return true;
}

std::ptrdiff_t Socket::receiveSome(std::span<std::uint8_t> buffer) {
    for (;;) {
        const ssize_t received = ::recv(handle_, buffer.data(), buffer.size(), 0);
        if (received < 0 && errno == EINTR) continue;
        return received < 0 ? -1 : received;
    }
}

WaitResult Socket::waitReadable(std::chrono::milliseconds timeout) {
    pollfd entry{handle_, POLLIN, 0};
    const int ready = ::poll(&entry, 1, toMillis(timeout));
    if (ready < 0) return errno == EINTR ? WaitResult::Timeout : WaitResult::Failed;
    return ready == 0 ? WaitResult::Timeout : WaitResult::Ready;
}

void Socket::shutdownBoth() {
    if (handle_ != kInvalid) ::shutdown(handle_, SHUT_RDWR);
}

Socket Socket::accept() {
    for (;;) {
        const NativeSocket accepted = ::accept4(handle_, nullptr, nullptr, SOCK_CLOEXEC);
        if (accepted < 0 && (errno == EINTR || errno == ECONNABORTED)) continue;
        if (accepted >= 0) setNoDelay(accepted);
        return Socket(accepted < 0 ? kInvalid : accepted);
    }
}

std::uint16_t Socket::localPort() const {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(handle_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

Receiver::Receiver(const Socket& socket) : socket_(socket.native()) {
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
}

Receiver::~Receiver() {
    if (wake_[0] >= 0) ::close(wake_[0]);
    if (wake_[1] >= 0) ::close(wake_[1]);
}

std::ptrdiff_t Receiver::receive(std::span<std::uint8_t> buffer) {
    if (wake_[0] < 0) return -1;
    pollfd entries[] = {{socket_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(entries, 2, -1);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || entries[1].revents != 0) return -1;
        break;
    }
    for (;;) {
        const ssize_t received = ::recv(socket_, buffer.data(), buffer.size(), 0);
        if (received < 0 && errno == EINTR) continue;
        return received < 0 ? -1 : received;
    }
}

void Receiver::stop() {
    if (wake_[1] < 0) return;
    const char byte = 1;
    // A full pipe is stopped already.
    [[maybe_unused]] const ssize_t written = ::write(wake_[1], &byte, 1);
}

Socket connectTo(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout) {
    sockaddr_in address{};
    if (!resolve(host, port, address)) return Socket();
    Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!socket.valid()) return Socket();
    const NativeSocket handle = socket.native();
    if (::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS) return Socket();
        pollfd entry{handle, POLLOUT, 0};
        int ready;
        do {
            ready = ::poll(&entry, 1, toMillis(timeout));
        } while (ready < 0 && errno == EINTR);
        if (ready <= 0) return Socket();
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return Socket();
    }
    const int flags = ::fcntl(handle, F_GETFL);
    if (flags < 0 || ::fcntl(handle, F_SETFL, flags & ~O_NONBLOCK) != 0) return Socket();
    setNoDelay(handle);
    return socket;
}

Socket listenOnLoopback(std::uint16_t port) {
    Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.valid()) return Socket();
    int on = 1;
    ::setsockopt(socket.native(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::bind(socket.native(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(socket.native(), 16) != 0)
        return Socket();
    return socket;
}

std::string lastErrorText() { return std::strerror(errno); }

}  // namespace tyvarion::sim::net
