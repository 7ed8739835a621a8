#include <csignal>

#include <unistd.h>

#include "host-session/console.h"

namespace tyvarion::host {
namespace {

std::atomic<bool>* interruptFlag = nullptr;

extern "C" void onInterrupt(int) {
    if (interruptFlag != nullptr) interruptFlag->store(true);
}

}  // namespace

void installInterruptHandler(std::atomic<bool>& stopRequested) {
    static_assert(std::atomic<bool>::is_always_lock_free);
    interruptFlag = &stopRequested;
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;  // the second signal takes its default course
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool isTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

}  // namespace tyvarion::host
