#include "server/server.h"

#include <chrono>
#include <string>
#include <thread>

#include "server/gaze_model.h"
#include "server/log.h"

namespace tyvarion::sim {
namespace {

constexpr std::chrono::milliseconds kStopPoll{100};
constexpr std::chrono::seconds kStopGrace{2};

}  // namespace

Server::Server(const ServerOptions& options, net::Socket listener)
    : options_(options), listener_(std::move(listener)) {}

void Server::run(const std::atomic<bool>& stop) {
    while (!stop.load()) {
        reap();
        const net::WaitResult ready = listener_.waitReadable(kStopPoll);
        if (ready != net::WaitResult::Ready) continue;
        net::Socket connection = listener_.accept();
        if (!connection.valid()) continue;
        ++connections_;
        std::unique_ptr<SampleSource> source;
        if (options_.replayFile) {
            std::string error;
            source = makeReplaySource(*options_.replayFile, error);
            if (!source) {
                logLine("connection " + std::to_string(connections_) + " closed: " + error);
                continue;
            }
        } else {
            // Each connection gets its own trace, reproducible from the seed.
            GazeModelConfig config{options_.screenWidth, options_.screenHeight, options_.rateHz,
                                   options_.binocularOffsetPx, options_.seed + connections_ - 1};
            source = makeModelSource(config);
        }
        sessions_.push_back(std::make_unique<Session>(std::move(connection), options_, std::move(source),
                                                      connections_));
    }
    stopAll();
}

void Server::stopAll() {
    for (auto& session : sessions_) session->requestStop();
    const auto deadline = std::chrono::steady_clock::now() + kStopGrace;
    auto allFinished = [this] {
        for (const auto& session : sessions_)
            if (!session->finished()) return false;
        return true;
    };
    while (!allFinished() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    for (auto& session : sessions_) {
        samplesSent_ += session->samplesSent();
        if (!session->finished()) {
            // Winsock does not wake a send blocked on a client that stopped
            // reading; the process is ending, so leave that session to it
            // rather than wait forever.
            logLine("connection " + std::to_string(session->number()) + " abandoned: its client stopped reading");
            static_cast<void>(session.release());
            ++abandoned_;
        }
    }
    sessions_.clear();
}

void Server::reap() {
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        if ((*it)->finished()) {
            samplesSent_ += (*it)->samplesSent();
            it = sessions_.erase(it);  // joins its threads
        } else {
            ++it;
        }
    }
}

}  // namespace tyvarion::sim
