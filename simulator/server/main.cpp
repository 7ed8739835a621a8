// tyvarion-sim-server: a simulated eye-tracking server for development and
// tests without a tracker. See --help.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "command-line/command_line.h"
#include "net/socket.h"
#include "server/log.h"
#include "server/options.h"
#include "server/platform.h"
#include "server/sample_source.h"
#include "server/server.h"

namespace {

std::atomic<bool> stopRequested{false};

}  // namespace

int main(int argc, char** argv) {
    using namespace tyvarion::sim;
    preparePlatform();
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    auto parsed = parseOptions(arguments);
    if (auto* error = std::get_if<std::string>(&parsed)) {
        return tyvarion::tools::refuseCommandLine("tyvarion-sim-server", *error);
    }
    const ServerOptions options = std::get<ServerOptions>(std::move(parsed));
    if (options.help) {
        std::fputs(kUsage.c_str(), stdout);
        return 0;
    }
    if (options.replayFile) {
        std::vector<std::string> warnings;
        if (const auto problem = checkReplayFile(*options.replayFile, warnings)) {
            std::fprintf(stderr, "tyvarion-sim-server: %s\n", problem->c_str());
            return 1;
        }
        for (const std::string& warning : warnings)
            std::fprintf(stderr, "tyvarion-sim-server: warning: %s: %s\n", options.replayFile->c_str(), warning.c_str());
    }

    net::NetworkScope network;
    net::Socket listener = net::listenOnLoopback(options.port);
    if (!network.ok() || !listener.valid()) {
        std::fprintf(stderr, "tyvarion-sim-server: cannot listen on 127.0.0.1:%u: %s\n",
                     static_cast<unsigned>(options.port), net::lastErrorText().c_str());
        return 1;
    }
    installStopHandlers(stopRequested);
    if (options.exitOnStdinEof) watchStdinForEnd(stopRequested);
    logLine("listening on 127.0.0.1:" + std::to_string(listener.localPort()));

    Server server(options, std::move(listener));
    server.run(stopRequested);
    logLine("sent " + std::to_string(server.samplesSent()) + (server.samplesSent() == 1 ? " sample" : " samples"));
    if (server.abandoned() != 0) std::_Exit(0);  // logLine has flushed
    return 0;
}
