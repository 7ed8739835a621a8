#include "server/server.h"

#include <string>

#include "server/gaze_model.h"
#include "server/log.h"

namespace tyvarion::sim {
namespace {

constexpr std::chrono::milliseconds kStopPoll{100};

}  // namespace

Server::Server(const ServerOptions& options, net::Socket listener)
    : options_(options), listener_(std::move(listener)) {}

void Server::run(const std::atomic<bool>& stop) {
    while (!stop.load()) {
        reap(false);
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
    reap(true);
}

void Server::reap(bool all) {
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        if (all || (*it)->finished()) {
            (*it)->requestStop();
            samplesSent_ += (*it)->samplesSent();
            it = sessions_.erase(it);  // joins its threads
        } else {
            ++it;
        }
    }
}

}  // namespace tyvarion::sim
