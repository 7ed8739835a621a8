#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <io.h>

#include "host-session/console.h"

namespace tyvarion::host {
namespace {

std::atomic<bool>* interruptFlag = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    // The second Ctrl-C goes to the default handler, which ends the process.
    if (interruptFlag == nullptr || interruptFlag->exchange(true)) return FALSE;
    return TRUE;
}

}  // namespace

void installInterruptHandler(std::atomic<bool>& stopRequested) {
    interruptFlag = &stopRequested;
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool isTerminal(std::FILE* stream) { return ::_isatty(::_fileno(stream)) != 0; }

}  // namespace tyvarion::host
