#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

#include "../control_common.h"
#include "control_access.h"
#include "platform/control_channel.h"
#include "platform/error_text.h"
#include "platform/system.h"

namespace platform {

namespace {
class Connection {
  public:
    ~Connection() {
        if (fd >= 0) {
            close(fd);
        }
    }
    int fd = -1;
};

// The result of a connect the system refused with `error`.
ControlCallResult ConnectFailure(int error, const std::string& channel, unsigned timeoutMs,
                                 std::size_t maxAnswerBytes) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ECONNREFUSED:  // the file of a daemon that has gone
            return control::CallFailure(ControlCallStatus::kNoChannel, channel, timeoutMs,
                                        maxAnswerBytes);
        case EACCES:
        case EPERM:
            return control::CallFailure(ControlCallStatus::kDenied, channel, timeoutMs,
                                        maxAnswerBytes, control::AccessRule(channel));
        case EAGAIN:  // the queue stayed full for the whole send time-out
        case EINPROGRESS:
        case ETIMEDOUT:
            return control::CallFailure(ControlCallStatus::kTimedOut, channel, timeoutMs,
                                        maxAnswerBytes, "the daemon is busy");
        default:
            return control::CallFailure(ControlCallStatus::kFailed, channel, timeoutMs,
                                        maxAnswerBytes, ErrorText(error));
    }
}

// Connects within the time left: a connect waits while the server's queue
// is full, as long as the socket's send time-out.
int Connect(const control::SocketPlace& place, unsigned timeoutMs, int* fd) {
    *fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (*fd < 0) {
        return errno;
    }
    // A zero time-out would mean none at all.
    const unsigned limitMs = timeoutMs == 0 ? 1 : timeoutMs;
    timeval limit{static_cast<time_t>(limitMs / 1000),
                  static_cast<suseconds_t>((limitMs % 1000) * 1000)};
    setsockopt(*fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    while (connect(*fd, reinterpret_cast<const sockaddr*>(&place.address), place.addressLength) !=
           0) {
        if (errno != EINTR) {
            return errno;
        }
    }
    const int flags = fcntl(*fd, F_GETFL, 0);
    return fcntl(*fd, F_SETFL, flags | O_NONBLOCK) == 0 ? 0 : errno;
}
}  // namespace

ControlCallResult ExchangeRawBytes(const std::string& channel, const std::string& bytes,
                                   unsigned timeoutMs, std::size_t maxAnswerBytes) {
    const int64_t until = MonotonicMs() + timeoutMs;
    control::SocketPlace place;
    Connection connection;
    const int located = control::Locate(channel, &place);
    const int refused = located != 0 ? located : Connect(place, timeoutMs, &connection.fd);
    if (refused != 0) {
        return ConnectFailure(refused, channel, timeoutMs, maxAnswerBytes);
    }
    std::size_t written = 0;
    bool writing = !bytes.empty();
    std::string received;
    for (;;) {
        const int64_t now = MonotonicMs();
        pollfd entry{connection.fd, static_cast<short>(POLLIN | (writing ? POLLOUT : 0)), 0};
        const int ready =
            poll(&entry, 1, static_cast<int>(control::MsUntil(until, now, timeoutMs)));
        if (ready < 0 && errno != EINTR) {
            return control::CallFailure(ControlCallStatus::kFailed, channel, timeoutMs,
                                        maxAnswerBytes, ErrorText(errno));
        }
        if (ready == 0 && MonotonicMs() >= until) {
            return control::CallFailure(ControlCallStatus::kTimedOut, channel, timeoutMs,
                                        maxAnswerBytes);
        }
        if (writing && (entry.revents & POLLOUT) != 0) {
            const ssize_t sent =
                send(connection.fd, bytes.data() + written, bytes.size() - written, MSG_NOSIGNAL);
            // A server that stopped reading (a request too long) may still
            // have answered: the answer is read all the same.
            written = sent > 0 ? written + static_cast<std::size_t>(sent) : written;
            writing = written < bytes.size() && (sent >= 0 || errno == EAGAIN || errno == EINTR);
        }
        if ((entry.revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        char chunk[control::kReadChunkBytes];
        const ssize_t count = recv(connection.fd, chunk, sizeof(chunk), 0);
        if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        }
        if (count <= 0) {
            return control::CallFailure(ControlCallStatus::kClosed, channel, timeoutMs,
                                        maxAnswerBytes);
        }
        ControlCallResult result;
        if (control::TakeAnswerBytes(received, chunk, static_cast<std::size_t>(count), channel,
                                     timeoutMs, maxAnswerBytes, &result)) {
            return result;
        }
    }
}

}  // namespace platform
