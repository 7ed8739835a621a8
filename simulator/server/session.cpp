#include "server/session.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "server/log.h"

namespace tyvarion::sim {
namespace {

constexpr std::chrono::milliseconds kHelloTimeout{5000};
constexpr std::chrono::milliseconds kStopPoll{100};
// Samples that fall due within this of each other leave in one write: at
// most a thousand writes a second, each costing the client one wake-up and
// one read (dear under Wine), for at most this much delay; at 1 kHz and below
// each sample leaves alone.
constexpr std::chrono::microseconds kMinSendInterval{1000};
constexpr std::size_t kMaxSamplesPerWrite = 16 * kMaxSamplesPerFrame;

std::int64_t wallMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Client names go into the log; keep them to one printable line.
std::string printable(std::string_view name) {
    std::string text(name);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
    return text;
}

}  // namespace

Session::Session(net::Socket socket, const ServerOptions& options, std::unique_ptr<SampleSource> source,
                 std::uint64_t number)
    : socket_(std::move(socket)),
      options_(options),
      source_(std::move(source)),
      number_(number),
      receiveBuffer_(2 * kMaxFrameSize),
      events_(options.events) {
    std::copy_if(events_.begin(), events_.end(), std::back_inserter(callEvents_),
                 [](const ScheduledEvent& e) { return e.during != ScheduledEvent::During::time; });
    std::erase_if(events_, [](const ScheduledEvent& e) { return e.during != ScheduledEvent::During::time; });
    std::stable_sort(events_.begin(), events_.end(),
                     [](const ScheduledEvent& a, const ScheduledEvent& b) { return a.afterMs < b.afterMs; });
    batch_.reserve(kMaxSamplesPerWrite);
    sendBuffer_.reserve(kMaxSamplesPerWrite / kMaxSamplesPerFrame * kMaxFrameSize);
    reader_ = std::thread([this] { run(); });
}

Session::~Session() {
    requestStop();
    if (reader_.joinable()) reader_.join();
}

void Session::requestStop() {
    stop_.store(true);
    // Frees a streamer blocked in a send to a client that stopped reading
    // (on POSIX; Winsock leaves it blocked).
    socket_.shutdownBoth();
    // Waiting for a busy mutex could last for ever (see above); its holder
    // tests stop_ before it next waits, and no wait lasts longer than kStopPoll.
    std::unique_lock lock(mutex_, std::try_to_lock);
    if (lock.owns_lock()) {
        ++changes_;
        changed_.notify_all();
    }
}

void Session::run() {
    const std::string label = "connection " + std::to_string(number_);
    if (options_.refuse) {
        socket_.shutdownBoth();
        logLine(label + " refused");
        finished_ = true;
        return;
    }
    std::string clientName;
    if (!handshake(clientName)) {
        socket_.shutdownBoth();
        logLine(label + " closed without a valid hello");
        finished_ = true;
        return;
    }
    logLine(label + ": client \"" + clientName + "\" connected");

    streamer_ = std::thread([this] { stream(); });
    const bool wellFormed = serveRequests();
    requestStop();
    streamer_.join();
    socket_.shutdownBoth();
    logLine(label + (wellFormed ? " closed" : " closed after a malformed frame") + ": sent " +
            std::to_string(samplesSent_.load()) + (samplesSent_.load() == 1 ? " sample" : " samples"));
    finished_ = true;
}

bool Session::handshake(std::string& clientName) {
    const auto deadline = Clock::now() + kHelloTimeout;
    for (;;) {
        const DecodeResult result = decodeFrame(std::span(receiveBuffer_.data(), received_));
        if (result.status == DecodeStatus::Malformed) return false;
        if (result.status == DecodeStatus::Complete) {
            const auto* hello = std::get_if<Hello>(&result.frame);
            if (hello == nullptr || hello->version != kProtocolVersion) return false;
            clientName = printable(hello->clientName);
            std::memmove(receiveBuffer_.data(), receiveBuffer_.data() + result.size, received_ - result.size);
            received_ -= result.size;
            std::lock_guard lock(mutex_);
            return sendCallEvents(ScheduledEvent::During::connect) && send(Welcome{kProtocolVersion});
        }
        if (stop_.load()) return false;
        if (Clock::now() >= deadline) return false;
        const net::WaitResult ready = socket_.waitReadable(kStopPoll);
        if (ready == net::WaitResult::Failed) return false;
        if (ready == net::WaitResult::Timeout) continue;
        const std::ptrdiff_t count = socket_.receiveSome(std::span(receiveBuffer_).subspan(received_));
        if (count <= 0) return false;
        received_ += static_cast<std::size_t>(count);
    }
}

bool Session::serveRequests() {
    for (;;) {
        std::size_t offset = 0;
        for (;;) {
            const DecodeResult result =
                decodeFrame(std::span(receiveBuffer_.data() + offset, received_ - offset));
            if (result.status == DecodeStatus::Incomplete) break;
            if (result.status == DecodeStatus::Malformed || !answer(result.frame)) return false;
            offset += result.size;
        }
        std::memmove(receiveBuffer_.data(), receiveBuffer_.data() + offset, received_ - offset);
        received_ -= offset;
        if (stop_.load()) return true;
        const net::WaitResult ready = socket_.waitReadable(kStopPoll);
        if (ready == net::WaitResult::Failed) return true;
        if (ready == net::WaitResult::Timeout) continue;
        const std::ptrdiff_t count = socket_.receiveSome(std::span(receiveBuffer_).subspan(received_));
        if (count <= 0) return true;  // the client has gone
        received_ += static_cast<std::size_t>(count);
    }
}

bool Session::answer(const Frame& request) {
    std::unique_lock lock(mutex_);
    if (const auto* screen = std::get_if<ScreenRequest>(&request)) {
        if (sendCallEvents(ScheduledEvent::During::screen))
            send(ScreenAnswer{screen->id, options_.screenWidth, options_.screenHeight});
        return true;
    }
    if (const auto* start = std::get_if<StartRequest>(&request)) {
        if (sendCallEvents(ScheduledEvent::During::start)) send(StartAnswer{start->id, options_.startResult});
        if (options_.startResult == tyapi::START_SUCCESS && !tracking_) {
            tracking_ = true;
            ++trackingGeneration_;
            ++changes_;
            changed_.notify_all();
        }
        return true;
    }
    if (const auto* stop = std::get_if<StopRequest>(&request)) {
        tracking_ = false;
        ++changes_;
        changed_.notify_all();
        send(StopAnswer{stop->id});
        return true;
    }
    if (const auto* calibrate = std::get_if<CalibrateRequest>(&request)) {
        const auto done = Clock::now() + std::chrono::milliseconds(options_.calibrationMs);
        while (!stop_.load() && Clock::now() < done)
            changed_.wait_until(lock, std::min(done, Clock::now() + kStopPoll), [this] { return stop_.load(); });
        if (!stop_.load()) send(CalibrateAnswer{calibrate->id, options_.calibrateResult});
        return true;
    }
    return false;  // not a request
}

bool Session::sendCallEvents(ScheduledEvent::During call) {
    for (const ScheduledEvent& event : callEvents_) {
        if (event.during == call && !send(DeviceEventFrame{event.code})) return false;
    }
    return true;
}

bool Session::send(const Frame& frame) {
    std::vector<std::uint8_t> bytes;
    appendFrame(bytes, frame);
    return socket_.sendAll(bytes);
}

void Session::stream() {
    std::unique_lock lock(mutex_);
    while (!stop_.load()) {
        beginTrackingRun();
        const auto now = Clock::now();
        if (firstTrackingStart_) {
            while (nextEvent_ < events_.size() &&
                   *firstTrackingStart_ + std::chrono::milliseconds(events_[nextEvent_].afterMs) <= now) {
                const std::int32_t code = events_[nextEvent_++].code;
                if (!send(DeviceEventFrame{code})) break;
                if (code == tyapi::DEVICE_EVENT_TRACKING_STOPPED) tracking_ = false;
            }
            if (options_.dropAfterMs &&
                *firstTrackingStart_ + std::chrono::milliseconds(*options_.dropAfterMs) <= now) {
                logLine("connection " + std::to_string(number_) + ": dropping the connection");
                break;
            }
        }
        if (!sendDueSamples(lock, now)) break;
        const auto afterSending = Clock::now();
        const auto wake = std::min(nextWake(afterSending).value_or(Clock::time_point::max()), afterSending + kStopPoll);
        const std::uint64_t seen = changes_;
        changed_.wait_until(lock, wake, [this, seen] { return stop_.load() || changes_ != seen; });
    }
    // Whatever ended the stream ends the connection; the reader sees it.
    socket_.shutdownBoth();
}

void Session::beginTrackingRun() {
    if (!tracking_ || generationSeen_ == trackingGeneration_) return;
    // A new tracking run: the source's timeline restarts now.
    if (generationSeen_ == 0) pending_ = source_->next();
    generationSeen_ = trackingGeneration_;
    // The two clocks read back to back: the run's time stamps follow the
    // system clock from here on at the steady clock's pace, as a tracker's
    // own clock would.
    anchorWallMicros_ = wallMicros();
    anchorSteady_ = Clock::now();
    anchorDueMicros_ = pending_ ? pending_->dueMicros : 0;
    // Scripted events count from the moment the first run's samples begin,
    // not from the start request: a streamer that comes late to a new run
    // still sends samples before an event due shortly after the start.
    if (!firstTrackingStart_) firstTrackingStart_ = anchorSteady_;
}

bool Session::sendDueSamples(std::unique_lock<std::mutex>&, Clock::time_point now) {
    if (!tracking_) return true;
    const std::uint64_t limit = options_.sampleLimit.value_or(UINT64_MAX);
    const std::uint64_t sent = samplesSent_.load();
    const bool live = source_->stampsLiveTime();
    batch_.clear();
    while (pending_ && batch_.size() < kMaxSamplesPerWrite && sent + batch_.size() < limit &&
           anchorSteady_ + std::chrono::microseconds(pending_->dueMicros - anchorDueMicros_) <= now) {
        tyapi::TYGazeSample sample = pending_->sample;
        if (live) sample.timestampMicroSec = anchorWallMicros_ + (pending_->dueMicros - anchorDueMicros_);
        batch_.push_back(sample);
        pending_ = source_->next();
    }
    if (!limitReported_ && (!pending_ || sent + batch_.size() >= limit)) {
        limitReported_ = true;
        logLine("connection " + std::to_string(number_) +
                (pending_ ? ": sample limit reached" : ": end of the recording"));
    }
    if (batch_.empty()) return true;
    sendBuffer_.clear();
    appendSamples(sendBuffer_, batch_);
    if (!socket_.sendAll(sendBuffer_)) return false;
    samplesSent_ += batch_.size();
    return true;
}

std::optional<Session::Clock::time_point> Session::nextWake(Clock::time_point now) const {
    std::optional<Clock::time_point> wake;
    auto consider = [&wake](Clock::time_point time) {
        if (!wake || time < *wake) wake = time;
    };
    const bool underLimit = !options_.sampleLimit || samplesSent_.load() < *options_.sampleLimit;
    if (tracking_ && pending_ && underLimit)
        consider(std::max(anchorSteady_ + std::chrono::microseconds(pending_->dueMicros - anchorDueMicros_),
                          now + kMinSendInterval));
    if (firstTrackingStart_) {
        if (nextEvent_ < events_.size())
            consider(*firstTrackingStart_ + std::chrono::milliseconds(events_[nextEvent_].afterMs));
        if (options_.dropAfterMs) consider(*firstTrackingStart_ + std::chrono::milliseconds(*options_.dropAfterMs));
    }
    return wake;
}

}  // namespace tyvarion::sim
