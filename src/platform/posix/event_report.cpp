// Administrator events to the journal: under systemd standard error is a
// stream socket to journald, which reads a leading "<N>" as the line's
// syslog priority. Chosen over libsystemd's sd_journal_send so that the
// program needs no library beyond the C++ runtime and the lines also reach
// any other supervisor, or a terminal, as plain text.
#include "platform/event_report.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <mutex>

namespace platform {

namespace {

// How long a line that is half written may wait for room for the rest, so
// that the next line does not start inside it.
constexpr int kTornLineWaitMs = 100;

std::mutex g_writeLock;

const char* PriorityPrefix(EventType type) {
    switch (type) {
        case EventType::kError:
            return "<3>";
        case EventType::kWarning:
            return "<4>";
        case EventType::kInformation:
            break;
    }
    return "<6>";
}

// True when `fd` can take bytes now, or within `waitMs`.
bool Writable(int fd, int waitMs) {
    pollfd entry{fd, POLLOUT, 0};
    int ready;
    do {
        ready = poll(&entry, 1, waitMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && (entry.revents & POLLOUT) != 0;
}

// Writes `text` to `fd` without blocking for the first byte, and returns
// how much of it was written: nothing when `fd` has no room now, part of it
// when the rest found no room in time. A pipe that polls writable takes
// PIPE_BUF bytes without blocking, and no more for sure, so a pipe gets the
// text in pieces of that size, each after a poll.
std::size_t WriteWithoutWaiting(int fd, const std::string& text) {
    struct stat info {};
    const bool socket = fstat(fd, &info) == 0 && S_ISSOCK(info.st_mode);
    std::size_t done = 0;
    while (done < text.size()) {
        if (!socket && !Writable(fd, done == 0 ? 0 : kTornLineWaitMs)) {
            return done;
        }
        const std::size_t piece =
            socket ? text.size() - done : std::min<std::size_t>(PIPE_BUF, text.size() - done);
        ssize_t written = socket ? send(fd, text.data() + done, piece, MSG_DONTWAIT | MSG_NOSIGNAL)
                                 : write(fd, text.data() + done, piece);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        const bool full = written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        if (!full || done == 0 || !Writable(fd, kTornLineWaitMs)) {
            return done;
        }
    }
    return done;
}

// Whether the last line was cut short: the next one then starts with a line
// end of its own. Guarded by g_writeLock.
bool g_torn = false;

}  // namespace

bool ReportAdministratorEvent(EventType type, uint32_t /*id*/,
                              const std::vector<std::string>& /*inserts*/,
                              const std::string& line) {
    std::lock_guard<std::mutex> hold(g_writeLock);
    std::string text = g_torn ? "\n" : "";
    text += PriorityPrefix(type);
    text += line;
    text += '\n';
    const std::size_t written = WriteWithoutWaiting(STDERR_FILENO, text);
    if (written > 0) {
        g_torn = written < text.size();
    }
    return written == text.size();
}

}  // namespace platform
