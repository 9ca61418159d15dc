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

#include <cerrno>
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

// Writes all of `text` to `fd` without blocking for the first byte: false,
// with nothing written, when `fd` has no room now.
bool WriteWithoutWaiting(int fd, const std::string& text) {
    struct stat info {};
    const bool socket = fstat(fd, &info) == 0 && S_ISSOCK(info.st_mode);
    if (!socket && !Writable(fd, 0)) {
        return false;
    }
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t written =
            socket ? send(fd, text.data() + done, text.size() - done, MSG_DONTWAIT | MSG_NOSIGNAL)
                   : write(fd, text.data() + done, text.size() - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        const bool full = written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        if (!full || done == 0 || !Writable(fd, kTornLineWaitMs)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool ReportAdministratorEvent(EventType type, uint32_t /*id*/,
                              const std::vector<std::string>& /*inserts*/,
                              const std::string& line) {
    std::string text = PriorityPrefix(type);
    text += line;
    text += '\n';
    std::lock_guard<std::mutex> hold(g_writeLock);
    return WriteWithoutWaiting(STDERR_FILENO, text);
}

}  // namespace platform
