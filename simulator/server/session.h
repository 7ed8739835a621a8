#pragma once
// One client connection of the simulated server.
//
// Threads: the session's reader thread performs the handshake and answers
// requests; its streamer thread sends samples and scheduled device events.
// Both send under `mutex_`, so a frame is never split and no sample follows
// the answer to a stop request. The server's thread calls requestStop(),
// finished() and samplesSent(), and destroys the session.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/socket.h"
#include "protocol/frame_codec.h"
#include "server/options.h"
#include "server/sample_source.h"

namespace tyvarion::sim {

class Session {
public:
    Session(net::Socket socket, const ServerOptions& options, std::unique_ptr<SampleSource> source,
            std::uint64_t number);
    // Stops and joins both threads.
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Ends the connection; safe from any thread.
    void requestStop();
    bool finished() const { return finished_.load(); }
    std::uint64_t number() const { return number_; }
    std::uint64_t samplesSent() const { return samplesSent_.load(); }

private:
    using Clock = std::chrono::steady_clock;

    void run();
    bool handshake(std::string& clientName);
    // Reads requests until the connection ends; false on a protocol fault.
    bool serveRequests();
    bool answer(const Frame& request);
    bool send(const Frame& frame);  // caller holds mutex_
    // The device events scripted inside `call`, sent before its answer; caller holds mutex_.
    bool sendCallEvents(ScheduledEvent::During call);
    void stream();
    // Anchors a tracking run that the streamer has not seen yet; caller holds mutex_.
    void beginTrackingRun();
    bool sendDueSamples(std::unique_lock<std::mutex>& lock, Clock::time_point now);
    std::optional<Clock::time_point> nextWake(Clock::time_point now) const;

    net::Socket socket_;
    const ServerOptions& options_;
    std::unique_ptr<SampleSource> source_;
    std::uint64_t number_;
    std::vector<std::uint8_t> receiveBuffer_;
    std::size_t received_ = 0;

    std::atomic<bool> stop_{false};  // set once; tested by both threads without the mutex

    std::mutex mutex_;  // guards everything below and every send
    std::condition_variable changed_;
    std::uint64_t changes_ = 0;  // counts the notifications of changed_
    bool tracking_ = false;
    std::uint64_t trackingGeneration_ = 0;
    std::optional<Clock::time_point> firstTrackingStart_;

    // Streamer's own state.
    std::uint64_t generationSeen_ = 0;
    std::optional<TimedSample> pending_;
    Clock::time_point anchorSteady_;
    std::int64_t anchorWallMicros_ = 0;
    std::int64_t anchorDueMicros_ = 0;
    std::vector<ScheduledEvent> events_;  // in time order
    std::vector<ScheduledEvent> callEvents_;  // sent inside a client's call
    std::size_t nextEvent_ = 0;
    bool limitReported_ = false;
    std::vector<tyapi::TYGazeSample> batch_;
    std::vector<std::uint8_t> sendBuffer_;

    std::atomic<std::uint64_t> samplesSent_{0};
    std::atomic<bool> finished_{false};
    std::thread streamer_;
    std::thread reader_;
};

}  // namespace tyvarion::sim
