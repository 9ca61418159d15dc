#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "trackside-sim/os.h"

namespace simos {

const char kPathSeparator = '/';

namespace {
int Fd(Socket socket) {
    return static_cast<int>(socket);
}

void MakeNonBlocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL, 0) | O_NONBLOCK);
}
}  // namespace

bool StartNetwork() {
    return true;
}

Socket Listen(const std::string& address, int port, int* error) {
    *error = 0;
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) {
        *error = EINVAL;
        return kNoSocket;
    }
    int fd = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (fd < 0) {
        *error = errno;
        return kNoSocket;
    }
    // A relaunched instance must be able to listen again while connections
    // of the instance before it linger in TIME_WAIT.
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 || listen(fd, 16) != 0) {
        *error = errno;
        close(fd);
        return kNoSocket;
    }
    MakeNonBlocking(fd);
    return static_cast<Socket>(fd);
}

Socket AcceptNext(Socket listener) {
    int fd = accept(Fd(listener), nullptr, nullptr);
    if (fd < 0) {
        return kNoSocket;
    }
    MakeNonBlocking(fd);
    return static_cast<Socket>(fd);
}

bool SendAll(Socket connection, const std::string& bytes) {
    size_t sent = 0;
    int waited = 0;
    while (sent < bytes.size()) {
        ssize_t n = send(Fd(connection), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) &&
                   waited < 2000) {
            usleep(10 * 1000);
            waited += 10;
        } else {
            return false;
        }
    }
    return true;
}

bool PeerGone(Socket connection) {
    char scrap[4096];
    for (;;) {
        ssize_t n = recv(Fd(connection), scrap, sizeof scrap, 0);
        if (n > 0) {
            continue;
        }
        if (n == 0) {
            return true;
        }
        return !(errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
    }
}

void CloseSocket(Socket socket) {
    if (socket != kNoSocket) {
        close(Fd(socket));
    }
}

void SleepMs(int milliseconds) {
    usleep(static_cast<useconds_t>(milliseconds) * 1000);
}

bool MakeFolders(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            mkdir(path.substr(0, i).c_str(), 0777);
        }
    }
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool PathExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

int ProcessId() {
    return static_cast<int>(getpid());
}

void EndProcess(int code) {
    std::fflush(stdout);
    std::_Exit(code);
}

}  // namespace simos
