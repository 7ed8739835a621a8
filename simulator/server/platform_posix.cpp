#include "server/platform.h"

#include <cerrno>
#include <csignal>
#include <thread>
#include <unistd.h>

namespace tyvarion::sim {
namespace {

std::atomic<bool>* stopFlag = nullptr;
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onStopSignal(int) {
    if (stopFlag != nullptr) stopFlag->store(true);
}

}  // namespace

void installStopHandlers(std::atomic<bool>& stop) {
    stopFlag = &stop;
    struct sigaction action{};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A client that vanishes must not end the server.
    std::signal(SIGPIPE, SIG_IGN);
}

void watchStdinForEnd(std::atomic<bool>& stop) {
    std::thread([&stop] {
        char buffer[256];
        for (;;) {
            const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (count == 0 || (count < 0 && errno != EINTR)) break;
        }
        stop.store(true);
    }).detach();
}

void preparePlatform() {}

}  // namespace tyvarion::sim
