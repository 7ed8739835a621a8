#pragma once
// The accept loop of the simulated server: one Session per connection, any
// number at a time, finished ones reaped as it goes.

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>

#include "net/socket.h"
#include "server/options.h"
#include "server/session.h"

namespace tyvarion::sim {

class Server {
public:
    Server(const ServerOptions& options, net::Socket listener);
    // Serves until `stop` becomes true, then ends every connection.
    void run(const std::atomic<bool>& stop);
    std::uint64_t samplesSent() const { return samplesSent_; }
    // Connections whose threads could not be ended; the process must end
    // without running destructors under them.
    std::uint64_t abandoned() const { return abandoned_; }

private:
    // Destroys the sessions whose connection has ended.
    void reap();
    // Ends every connection; gives up on any that cannot end.
    void stopAll();

    const ServerOptions& options_;
    net::Socket listener_;
    std::list<std::unique_ptr<Session>> sessions_;
    std::uint64_t connections_ = 0;
    std::uint64_t samplesSent_ = 0;
    std::uint64_t abandoned_ = 0;
};

}  // namespace tyvarion::sim
