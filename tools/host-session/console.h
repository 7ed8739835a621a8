#pragma once
// The console seam: Ctrl-C, and whether output goes to a terminal.

#include <atomic>
#include <cstdio>

namespace tyvarion::host {

// Ctrl-C (and, on POSIX, SIGTERM) sets `stopRequested`, so that the session
// ends in order: recording and tracking off, the file closed. A second Ctrl-C
// ends the program at once. `stopRequested` must outlive the program's run.
void installInterruptHandler(std::atomic<bool>& stopRequested);

bool isTerminal(std::FILE* stream);

}  // namespace tyvarion::host
