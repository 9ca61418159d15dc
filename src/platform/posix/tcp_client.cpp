#include "platform/tcp_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

const uint16_t kIpv4Family = AF_INET;

namespace {
// True when the socket's pending error says the connect itself failed: no
// one listens, or the peer cannot be reached. Anything else on a socket that
// polls readable (data, an orderly close, a reset) is for the read to report.
bool ConnectFailed(int fd) {
    int error = 0;
    socklen_t length = sizeof(error);
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
        return false;
    }
    switch (error) {
        case ECONNREFUSED:
        case ENETUNREACH:
        case EHOSTUNREACH:
        case ETIMEDOUT:
            return true;
        default:
            return false;
    }
}
}  // namespace

int32_t LastSocketError() {
    return errno;
}

bool TcpClient::Create() {
    Close();
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        return false;
    }
    handle_ = fd;
    established_ = false;
    connectFailed_ = false;
    return true;
}

bool TcpClient::IsValid() const {
    return handle_ >= 0;
}

void TcpClient::SetNonBlocking() {
    if (!IsValid()) {
        errno = EBADF;
        return;
    }
    int fd = static_cast<int>(handle_);
    int flags = fcntl(fd, F_GETFL, 0);
    if (flags >= 0) {
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    }
}

void TcpClient::Connect(uint16_t family, uint16_t networkPort, uint32_t networkAddress) {
    if (!IsValid()) {
        errno = EBADF;
        return;
    }
    if (networkAddress == htonl(INADDR_ANY)) {
        // Linux would take 0.0.0.0 for this host; Windows refuses it, and so
        // does the watchdog: the attempt stays unconnected.
        errno = EADDRNOTAVAIL;
        connectFailed_ = true;
        return;
    }
    sockaddr_in target{};
    target.sin_family = family;
    target.sin_port = networkPort;
    target.sin_addr.s_addr = networkAddress;
    if (connect(static_cast<int>(handle_), reinterpret_cast<const sockaddr*>(&target),
                sizeof(target)) == 0) {
        established_ = true;
    } else if (errno != EINPROGRESS && errno != EINTR) {
        // Refused at once (loopback does that): the socket's error is
        // already taken, so the verdict is kept here.
        connectFailed_ = true;
    }
}

WaitOutcome TcpClient::WaitReadable(unsigned milliseconds) {
    if (!IsValid()) {
        errno = EBADF;
        return WaitOutcome::kFailed;
    }
    int fd = static_cast<int>(handle_);
    pollfd entry{fd, POLLIN, 0};
    int ready = poll(&entry, 1, static_cast<int>(milliseconds));
    if (ready <= 0) {
        return ready < 0 ? WaitOutcome::kFailed : WaitOutcome::kTimedOut;
    }
    if (!established_) {
        if (connectFailed_ || ConnectFailed(fd)) {
            // POSIX reports a failed connect as readable; Windows only in
            // the error set.
            connectFailed_ = true;
            return WaitOutcome::kConnectFailed;
        }
        established_ = true;
    }
    return WaitOutcome::kReadable;
}

int TcpClient::Receive(char* buffer, int capacity) {
    if (!IsValid()) {
        errno = EBADF;
        return -1;
    }
    ssize_t n = recv(static_cast<int>(handle_), buffer, static_cast<size_t>(capacity), 0);
    return static_cast<int>(n);
}

void TcpClient::Close() {
    if (IsValid()) {
        int saved = errno;
        close(static_cast<int>(handle_));
        errno = saved;
    }
    handle_ = -1;
    established_ = false;
    connectFailed_ = false;
}

}  // namespace platform
