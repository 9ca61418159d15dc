#include "platform/console.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace platform {

namespace {
// Reads one byte; returns at end-of-file or on an error other than EINTR.
void ReadOneByte() {
    char byte;
    while (read(STDIN_FILENO, &byte, 1) < 0 && errno == EINTR) {
    }
}
}  // namespace

void ConsolePause() {
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
        ReadOneByte();
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    } else {
        ReadOneByte();
    }
    std::fputs("\n", stdout);
    std::fflush(stdout);
}

}  // namespace platform
