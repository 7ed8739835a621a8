#pragma once
// What the server needs from the operating system beyond sockets.

#include <atomic>

namespace tyvarion::sim {

// Ctrl-C (and SIGTERM on POSIX) set `stop`.
void installStopHandlers(std::atomic<bool>& stop);

// Sets `stop` when standard input ends; the watcher is never joined, it ends with the process.
void watchStdinForEnd(std::atomic<bool>& stop);

// Fine-grained sleeps, so that samples leave close to their due time, and
// report lines that end in "\n" alone on every system.
void preparePlatform();

}  // namespace tyvarion::sim
