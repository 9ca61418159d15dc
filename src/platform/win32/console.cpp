#include "platform/console.h"

#include <windows.h>

#include <process.h>
#include <stdio.h>
#include <stdlib.h>

#include <atomic>

namespace platform {

namespace {

// How long a closed window (a log-off, a shutdown) is held open for the
// stop: the system ends the process about five seconds after the request
// anyway, and main ends it sooner when the stop is done.
constexpr DWORD kCloseHoldMs = 10000;

std::atomic<bool> stopRequested{false};
HANDLE stopEvent = nullptr;  // set at the first request, manual reset

BOOL WINAPI OnConsoleControl(DWORD type) {
    stopRequested.store(true);
    SetEvent(stopEvent);
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) {
        // The process ends when this returns: main stops meanwhile.
        Sleep(kCloseHoldMs);
    }
    return TRUE;
}

unsigned __stdcall RunPause(void*) {
    system("pause");
    return 0;
}

}  // namespace

void CatchConsoleStopRequests() {
    if (stopEvent == nullptr) {
        stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    if (stopEvent != nullptr) {
        SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    }
}

bool ConsoleStopRequested() {
    return stopRequested.load();
}

void ConsolePause() {
    fflush(stdout);
    if (stopRequested.load()) {
        return;  // a stop was asked for: no key is waited for
    }
    if (stopEvent == nullptr) {
        system("pause");
        return;
    }
    // The shell's pause on a thread of its own, so that a stop request
    // ends the wait as a key would. A Ctrl-C reaches the shell too; after a
    // closed window it goes with the process.
    const uintptr_t thread = _beginthreadex(nullptr, 0, RunPause, nullptr, 0, nullptr);
    if (thread == 0) {
        system("pause");
        return;
    }
    HANDLE waits[] = {reinterpret_cast<HANDLE>(thread), stopEvent};
    WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    CloseHandle(reinterpret_cast<HANDLE>(thread));
}

}  // namespace platform
