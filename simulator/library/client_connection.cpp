#include "library/client_connection.h"

#include <cstring>
#include <exception>
#include <type_traits>

namespace tyvarion::sim {
namespace {

constexpr std::chrono::milliseconds kRequestTimeout{5000};

std::chrono::milliseconds remaining(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() < 0 ? std::chrono::milliseconds{0} : left;
}

}  // namespace

ClientConnection::ClientConnection(Key, net::Socket socket, ListenerSlots& listeners)
    : socket_(std::move(socket)), listeners_(listeners), buffer_(2 * kMaxFrameSize) {}

std::unique_ptr<ClientConnection> ClientConnection::open(const Endpoint& endpoint,
                                                         std::string_view clientName,
                                                         ListenerSlots& listeners,
                                                         std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    net::NetworkScope network;
    if (!network.ok()) return nullptr;
    net::Socket socket = net::connectTo(endpoint.host, endpoint.port, timeout);
    if (!socket.valid()) return nullptr;
    auto connection = std::make_unique<ClientConnection>(Key{}, std::move(socket), listeners);
    if (!connection->handshake(clientName, deadline)) return nullptr;
    connection->receiveThread_ = std::thread([raw = connection.get()] { raw->receiveLoop(); });
    std::unique_lock lock(connection->stateMutex_);
    connection->answerArrived_.wait(lock, [raw = connection.get()] { return raw->earlyDelivered_; });
    lock.unlock();
    return connection;
}

bool ClientConnection::handshake(std::string_view clientName,
                                 std::chrono::steady_clock::time_point deadline) {
    std::vector<std::uint8_t> hello;
    appendFrame(hello, Hello{kProtocolVersion, clientName});
    if (!socket_.sendAll(hello)) return false;
    for (;;) {
        const DecodeResult result = decodeFrame(std::span(buffer_.data(), filled_));
        if (result.status == DecodeStatus::Malformed) return false;
        if (result.status == DecodeStatus::Complete) {
            if (const auto* event = std::get_if<DeviceEventFrame>(&result.frame)) {
                earlyEvents_.push_back(event->code);
                std::memmove(buffer_.data(), buffer_.data() + result.size, filled_ - result.size);
                filled_ -= result.size;
                continue;
            }
            const auto* welcome = std::get_if<Welcome>(&result.frame);
            if (welcome == nullptr || welcome->version != kProtocolVersion) return false;
            std::memmove(buffer_.data(), buffer_.data() + result.size, filled_ - result.size);
            filled_ -= result.size;
            return true;
        }
        if (socket_.waitReadable(remaining(deadline)) != net::WaitResult::Ready) return false;
        const std::ptrdiff_t received = socket_.receiveSome(std::span(buffer_).subspan(filled_));
        if (received <= 0) return false;
        filled_ += static_cast<std::size_t>(received);
    }
}

ClientConnection::~ClientConnection() {
    stopping_ = true;
    breakOff();
    if (receiveThread_.joinable()) receiveThread_.join();
}

void ClientConnection::breakOff() {
    receiver_.stop();
    socket_.shutdownBoth();
}

bool ClientConnection::alive() const {
    std::lock_guard lock(stateMutex_);
    return alive_;
}

template <typename Request>
std::optional<Frame> ClientConnection::request(Request request, FrameType answerType,
                                               std::chrono::milliseconds timeout) {
    std::lock_guard serial(requestMutex_);
    {
        std::lock_guard lock(stateMutex_);
        if (!alive_) return std::nullopt;
        request.id = nextId_++;
        pendingId_ = request.id;
        pendingType_ = answerType;
        answer_.reset();
    }
    std::vector<std::uint8_t> bytes;
    appendFrame(bytes, request);
    bool sent = socket_.sendAll(bytes);

    std::unique_lock lock(stateMutex_);
    if (sent) {
        answerArrived_.wait_for(lock, timeout, [this] { return answer_.has_value() || !alive_; });
    }
    std::optional<Frame> answer = std::move(answer_);
    answer_.reset();
    pendingId_.reset();
    const bool broken = !answer && alive_;
    lock.unlock();
    // A server that does not answer is as good as gone: end the connection,
    // and the receive thread reports it.
    if (broken) breakOff();
    return answer;
}

std::optional<ScreenAnswer> ClientConnection::screen() {
    auto answer = request(ScreenRequest{}, FrameType::ScreenAnswer, kRequestTimeout);
    if (!answer) return std::nullopt;
    return std::get<ScreenAnswer>(*answer);
}

std::optional<std::int32_t> ClientConnection::start(std::int32_t mode) {
    auto answer = request(StartRequest{0, mode}, FrameType::StartAnswer, kRequestTimeout);
    if (!answer) return std::nullopt;
    return std::get<StartAnswer>(*answer).result;
}

bool ClientConnection::stop() {
    return request(StopRequest{}, FrameType::StopAnswer, kRequestTimeout).has_value();
}

std::optional<std::int32_t> ClientConnection::calibrate(std::int32_t mode,
                                                        std::chrono::milliseconds timeout) {
    auto answer = request(CalibrateRequest{0, mode}, FrameType::CalibrateAnswer, timeout);
    if (!answer) return std::nullopt;
    return std::get<CalibrateAnswer>(*answer).result;
}

void ClientConnection::receiveLoop() {
    // Nothing may escape onto this thread: a throwing listener ends the
    // connection like any other fault.
    try {
        if (auto* listener = listeners_.device.load()) {
            for (const std::int32_t code : earlyEvents_) listener->onDeviceEvent(code);
        }
    } catch (...) {
    }
    {
        std::lock_guard lock(stateMutex_);
        earlyDelivered_ = true;
        answerArrived_.notify_all();
    }
    try {
        // One wait and one read for whatever has come: the server sends at
        // most one write per millisecond, the frames of a write are read at once.
        while (!stopping_) {
            if (!dispatchFrames()) break;
            if (filled_ == buffer_.size()) break;  // cannot happen: leftovers are under one frame
            const std::ptrdiff_t received = receiver_.receive(std::span(buffer_).subspan(filled_));
            if (received <= 0) break;
            filled_ += static_cast<std::size_t>(received);
        }
    } catch (...) {
    }
    markBroken();
    if (!stopping_) {
        if (auto* listener = listeners_.device.load()) {
            try {
                listener->onDeviceEvent(tyapi::DEVICE_EVENT_CONNECTION_LOST);
            } catch (...) {
            }
        }
    }
}

bool ClientConnection::dispatchFrames() {
    std::size_t offset = 0;
    bool ok = true;
    while (ok && !stopping_) {
        const DecodeResult result = decodeFrame(std::span(buffer_.data() + offset, filled_ - offset));
        if (result.status == DecodeStatus::Incomplete) break;
        if (result.status == DecodeStatus::Malformed) {
            ok = false;
            break;
        }
        ok = dispatch(result.frame);
        offset += result.size;
    }
    if (offset != 0) {
        std::memmove(buffer_.data(), buffer_.data() + offset, filled_ - offset);
        filled_ -= offset;
    }
    return ok;
}

bool ClientConnection::dispatch(const Frame& frame) {
    if (const auto* batch = std::get_if<SampleBatch>(&frame)) {
        auto* listener = listeners_.gaze.load();
        for (std::size_t i = 0; listener != nullptr && i < batch->size() && !stopping_; ++i)
            listener->onGazeSample((*batch)[i]);
        return true;
    }
    if (const auto* event = std::get_if<DeviceEventFrame>(&frame)) {
        if (auto* listener = listeners_.device.load()) listener->onDeviceEvent(event->code);
        return true;
    }
    if (const auto* answer = std::get_if<ScreenAnswer>(&frame))
        return acceptAnswer(frame, FrameType::ScreenAnswer, answer->id);
    if (const auto* answer = std::get_if<StartAnswer>(&frame))
        return acceptAnswer(frame, FrameType::StartAnswer, answer->id);
    if (const auto* answer = std::get_if<StopAnswer>(&frame))
        return acceptAnswer(frame, FrameType::StopAnswer, answer->id);
    if (const auto* answer = std::get_if<CalibrateAnswer>(&frame))
        return acceptAnswer(frame, FrameType::CalibrateAnswer, answer->id);
    return false;  // a frame only a client sends, or a second welcome
}

bool ClientConnection::acceptAnswer(const Frame& frame, FrameType type, std::uint32_t id) {
    std::lock_guard lock(stateMutex_);
    // An answer nobody asked for means the two ends disagree: stop here.
    if (!pendingId_ || *pendingId_ != id || pendingType_ != type || answer_) return false;
    answer_ = frame;
    answerArrived_.notify_all();
    return true;
}

void ClientConnection::markBroken() {
    std::lock_guard lock(stateMutex_);
    alive_ = false;
    answerArrived_.notify_all();
}

}  // namespace tyvarion::sim
