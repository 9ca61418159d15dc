#include "platform/console.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace platform {

namespace {

// The requests to stop: Ctrl-C, a termination request, a hang-up of the
// terminal. They stay blocked in every thread and are taken by the pause.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Longest wait between two looks for a pending stop signal.
constexpr int kSliceMs = 100;

std::atomic<bool> catching{false};
std::atomic<bool> stopRequested{false};

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kStopSignals) {
        sigaddset(&set, signal);
    }
    return set;
}

// Takes a pending stop signal, if any.
bool TakeStopSignal() {
    if (!catching.load()) {
        return false;
    }
    const sigset_t set = StopSignals();
    const timespec now{0, 0};
    if (sigtimedwait(&set, nullptr, &now) > 0) {
        stopRequested.store(true);
    }
    return stopRequested.load();
}

// Waits for one byte of standard input, or a stop request. Returns at
// end-of-file or on an error other than EINTR.
void WaitForByteOrStop() {
    for (;;) {
        if (TakeStopSignal()) {
            return;
        }
        pollfd input{STDIN_FILENO, POLLIN, 0};
        const int ready = poll(&input, 1, catching.load() ? kSliceMs : -1);
        if (ready < 0 && errno != EINTR) {
            return;
        }
        if (ready > 0) {
            char byte;
            ssize_t n;
            do {
                n = read(STDIN_FILENO, &byte, 1);
            } while (n < 0 && errno == EINTR);
            if (n >= 0 || errno != EAGAIN) {
                return;
            }
        }
    }
}

}  // namespace

void CatchConsoleStopRequests() {
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    catching.store(true);
}

bool ConsoleStopRequested() {
    return TakeStopSignal();
}

void ConsolePause() {
    if (TakeStopSignal()) {
        return;  // a stop was asked for: no key is waited for
    }
    std::fputs("Press any key to continue . . . ", stdout);
    std::fflush(stdout);
    termios saved;
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0) {
        // One key, without waiting for Enter and without echo.
        termios raw = saved;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &raw);
        WaitForByteOrStop();
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    } else {
        WaitForByteOrStop();
    }
    std::fputs("\n", stdout);
    std::fflush(stdout);
}

}  // namespace platform
