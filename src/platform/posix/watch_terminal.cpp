#include "platform/watch_terminal.h"

#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "watch_common.h"

namespace platform {

namespace {

volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
    interrupted = 1;
}

// The signals that end the watch instead of the process: Ctrl-C, Ctrl-\,
// a stop request and a hang-up of the terminal. Any of them, left to its
// default, would kill the process with the terminal still without echo.
constexpr int kEndingSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};
constexpr int kEndingSignalCount = sizeof kEndingSignals / sizeof kEndingSignals[0];

// Longest wait between two looks at the interrupt flag: a signal that
// arrives just before poll starts is seen after this at the latest.
constexpr int64_t kSliceMs = 200;

// Ctrl-Z: the terminal goes back as it was before the process stops, so the
// shell has its echo, and is taken again when the process continues. The
// handler has its own copies of the two keyboard settings.
volatile sig_atomic_t continued = 0;
volatile sig_atomic_t stopKeyboard = 0;  // stdin is switched to single keys
volatile sig_atomic_t stopScreen = 0;    // stdout is a terminal with the cursor hidden
termios keyboardBefore{};
termios keyboardSingleKeys{};

constexpr char kCursorShown[] = "\x1b[?25h";
constexpr char kCursorHidden[] = "\x1b[?25l";

void WriteSequence(const char* sequence, std::size_t size) {
    // Nothing to do about a terminal that takes no more output.
    if (write(STDOUT_FILENO, sequence, size) < 0) {
        return;
    }
}

void OnStop(int) {
    const int savedErrno = errno;
    if (stopKeyboard) {
        tcsetattr(STDIN_FILENO, TCSANOW, &keyboardBefore);
    }
    if (stopScreen) {
        WriteSequence(kCursorShown, sizeof kCursorShown - 1);
    }
    // Stop as the default action would, then carry on from here.
    struct sigaction stop {};
    struct sigaction self {};
    stop.sa_handler = SIG_DFL;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGTSTP, &stop, &self);
    sigset_t only;
    sigset_t before;
    sigemptyset(&only);
    sigaddset(&only, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &only, &before);
    raise(SIGTSTP);
    sigprocmask(SIG_SETMASK, &before, nullptr);
    sigaction(SIGTSTP, &self, nullptr);
    if (stopKeyboard) {
        tcsetattr(STDIN_FILENO, TCSANOW, &keyboardSingleKeys);
    }
    if (stopScreen) {
        WriteSequence(kCursorHidden, sizeof kCursorHidden - 1);
    }
    continued = 1;
    errno = savedErrno;
}

}  // namespace

struct WatchTerminal::State {
    struct sigaction savedEnding[kEndingSignalCount] {};
    struct sigaction savedPipe {};
    struct sigaction savedStop {};
    termios savedKeyboard{};
    bool keyboard = false;  // stdin is a terminal switched to single keys
    bool screen = false;    // stdout is a terminal
    bool inputOpen = true;  // stdin has not reached its end
    bool shown = false;
};

WatchTerminal::WatchTerminal() : state_(new State) {
    interrupted = 0;
    struct sigaction catcher {};
    catcher.sa_handler = OnInterrupt;
    sigemptyset(&catcher.sa_mask);
    // No SA_RESTART: the signal ends a poll in progress.
    for (int i = 0; i < kEndingSignalCount; ++i) {
        sigaction(kEndingSignals[i], &catcher, &state_->savedEnding[i]);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &state_->savedPipe);
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &state_->savedKeyboard) == 0) {
        // Keys arrive one by one without Enter and without echo; Ctrl-C
        // still raises SIGINT.
        termios keys = state_->savedKeyboard;
        keys.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        keys.c_cc[VMIN] = 1;
        keys.c_cc[VTIME] = 0;
        state_->keyboard = tcsetattr(STDIN_FILENO, TCSANOW, &keys) == 0;
    }
    state_->screen = isatty(STDOUT_FILENO) != 0;
    if (state_->screen) {
        std::fputs(kCursorHidden, stdout);  // while redrawing
    }
    continued = 0;
    stopKeyboard = state_->keyboard;
    stopScreen = state_->screen;
    if (state_->keyboard) {
        keyboardBefore = state_->savedKeyboard;
        tcgetattr(STDIN_FILENO, &keyboardSingleKeys);
    }
    struct sigaction stop {};
    stop.sa_handler = OnStop;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGTSTP, &stop, &state_->savedStop);
}

WatchTerminal::~WatchTerminal() {
    sigaction(SIGTSTP, &state_->savedStop, nullptr);
    if (state_->screen) {
        std::fputs(kCursorShown, stdout);
    }
    std::fflush(stdout);
    if (state_->keyboard) {
        tcsetattr(STDIN_FILENO, TCSANOW, &state_->savedKeyboard);
    }
    for (int i = 0; i < kEndingSignalCount; ++i) {
        sigaction(kEndingSignals[i], &state_->savedEnding[i], nullptr);
    }
    sigaction(SIGPIPE, &state_->savedPipe, nullptr);
}

bool WatchTerminal::Show(const std::string& text) {
    return WriteFrame(text, state_->screen, &state_->shown);
}

bool WatchTerminal::WaitForKey(unsigned milliseconds) {
    bool resumed = false;
    const bool key = WaitInSlices(
        milliseconds, kSliceMs,
        [&resumed] {
            resumed = continued != 0;
            continued = 0;
            return resumed || interrupted != 0;
        },
        [this](int64_t slice) {
            pollfd input{STDIN_FILENO, POLLIN, 0};
            // A signal ends the poll early; the next look at the flag sees it.
            if (poll(&input, state_->inputOpen ? 1 : 0, static_cast<int>(slice)) <= 0) {
                return false;
            }
            char keys[64];
            const ssize_t got = read(STDIN_FILENO, keys, sizeof keys);
            if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) {
                state_->inputOpen = false;
            }
            return got > 0;
        });
    if (resumed && interrupted == 0) {
        // Back from a stop: the shell wrote over the picture, so the next
        // one is drawn on a cleared screen, now.
        state_->shown = !state_->screen && state_->shown;
        return false;
    }
    return key;
}

}  // namespace platform
