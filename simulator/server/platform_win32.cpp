#include "server/platform.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>

#include <thread>

namespace tyvarion::sim {
namespace {

std::atomic<bool>* stopFlag = nullptr;

BOOL WINAPI onConsoleControl(DWORD) {
    if (stopFlag != nullptr) stopFlag->store(true);
    return TRUE;
}

}  // namespace

void installStopHandlers(std::atomic<bool>& stop) {
    stopFlag = &stop;
    ::SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

void watchStdinForEnd(std::atomic<bool>& stop) {
    std::thread([&stop] {
        const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
        char buffer[256];
        DWORD count = 0;
        while (input != nullptr && input != INVALID_HANDLE_VALUE &&
               ::ReadFile(input, buffer, sizeof buffer, &count, nullptr) && count != 0) {
        }
        stop.store(true);
    }).detach();
}

void preparePlatform() {
    ::timeBeginPeriod(1);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
}

}  // namespace tyvarion::sim
