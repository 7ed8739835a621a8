#pragma once
// A tyvarion-sim-server that a test starts with scripted answers and faults:
//
//   tyvarion::sim::ServerProcess server({"--start-result", "4"});
//   ASSERT_TRUE(server.running()) << server.output();
//   server.useForClients();          // TYVARION_SERVER for the client library
//   ... construct clients ...
//   server.stop();                   // ends it; output() holds all it printed
//
// Each server listens on a free port of its own, so tests may run in
// parallel, and it exits when the test process goes away.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "harness/child_process.h"

namespace tyvarion::sim {

class ServerProcess {
public:
    // Starts the server with `arguments` (plus --port 0 and --exit-on-stdin-eof)
    // and waits for its "listening on" line.
    explicit ServerProcess(const std::vector<std::string>& arguments = {});
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    bool running() const { return child_ != nullptr && port_ != 0; }
    std::uint16_t port() const { return port_; }
    std::string endpoint() const;  // "127.0.0.1:PORT"

    // Points the simulated client library of this process at the server.
    void useForClients() const;

    // Ends the server, waits for it, and returns its exit code (-1 if it had
    // to be killed).
    int stop();

    // Everything the server has printed so far (all of it after stop()).
    const std::string& output() const { return output_; }
    // N from its last line "sent N samples" ("sent 1 sample"), after stop().
    std::optional<std::uint64_t> samplesSent() const;

    // The server program this build made.
    static std::string program();

private:
    std::unique_ptr<ChildProcess> child_;
    std::uint16_t port_ = 0;
    std::string output_;
    std::optional<int> exitCode_;
};

// Points the simulated client library at an endpoint ("host:port").
void setClientEndpoint(const std::string& endpoint);

}  // namespace tyvarion::sim
