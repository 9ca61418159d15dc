#include "platform/tcp_client.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace platform {

const uint16_t kIpv4Family = AF_INET;

namespace {
SOCKET AsSocket(intptr_t handle) {
    return static_cast<SOCKET>(handle);
}

// True when the socket's pending error says the connect itself failed: no
// one listens, or the peer cannot be reached. Anything else on a socket that
// selects readable (data, an orderly close, a reset) is for the read to report.
bool ConnectFailed(SOCKET s) {
    int error = 0;
    int length = sizeof(error);
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
        return false;
    }
    switch (error) {
        case WSAECONNREFUSED:
        case WSAENETUNREACH:
        case WSAEHOSTUNREACH:
        case WSAETIMEDOUT:
            return true;
        default:
            return false;
    }
}
}  // namespace

int32_t LastSocketError() {
    return WSAGetLastError();
}

bool TcpClient::Create() {
    Close();
    // Never inheritable: a child process started while the socket is open
    // (the console's "pause", a shell command) would otherwise keep the
    // connection alive after the watchdog has closed it. Systems without the
    // flag refuse it; there the handle is changed right after creation.
    SOCKET s = WSASocketA(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                          WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
        s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    }
    if (s == INVALID_SOCKET) {
        return false;
    }
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    handle_ = static_cast<intptr_t>(s);
    established_ = false;
    connectFailed_ = false;
    return true;
}

bool TcpClient::IsValid() const {
    return AsSocket(handle_) != INVALID_SOCKET;
}

void TcpClient::SetNonBlocking() {
    u_long on = 1;
    ioctlsocket(AsSocket(handle_), FIONBIO, &on);
}

void TcpClient::Connect(uint16_t family, uint16_t networkPort, uint32_t networkAddress) {
    sockaddr_in target{};
    target.sin_family = family;
    target.sin_port = networkPort;
    target.sin_addr.s_addr = networkAddress;
    if (connect(AsSocket(handle_), reinterpret_cast<const sockaddr*>(&target), sizeof(target)) !=
            0 &&
        WSAGetLastError() != WSAEWOULDBLOCK) {
        // Refused at once: the socket's error is already taken, so the
        // verdict is kept here.
        connectFailed_ = true;
    }
}

WaitOutcome TcpClient::WaitReadable(unsigned milliseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(AsSocket(handle_), &readable);
    // A fresh time-out for every wait.
    timeval limit{static_cast<long>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000L};
    int result = select(0, &readable, nullptr, nullptr, &limit);
    if (result <= 0) {
        return result < 0 ? WaitOutcome::kFailed : WaitOutcome::kTimedOut;
    }
    if (!FD_ISSET(AsSocket(handle_), &readable)) {
        return WaitOutcome::kTimedOut;
    }
    if (!established_) {
        if (connectFailed_ || ConnectFailed(AsSocket(handle_))) {
            // Windows never reports a failed connect as readable; Wine
            // sometimes does.
            connectFailed_ = true;
            WSASetLastError(WSAENOTCONN);
            return WaitOutcome::kConnectFailed;
        }
        established_ = true;
    }
    return WaitOutcome::kReadable;
}

int TcpClient::Receive(char* buffer, int capacity) {
    // Ask only for the bytes already pending (at least one, so that a closed
    // or failed connection still reports 0 or -1): Wine's recv writes to
    // every page of the buffer it is handed, which would make the whole
    // 10 MiB resident. One read still returns what has arrived, up to
    // `capacity`.
    u_long pending = 0;
    int wanted = capacity;
    if (ioctlsocket(AsSocket(handle_), FIONREAD, &pending) == 0) {
        wanted = pending == 0 ? 1
                              : (pending < static_cast<u_long>(capacity) ? static_cast<int>(pending)
                                                                         : capacity);
    }
    return recv(AsSocket(handle_), buffer, wanted, 0);
}

void TcpClient::Close() {
    if (IsValid()) {
        int saved = WSAGetLastError();
        closesocket(AsSocket(handle_));
        WSASetLastError(saved);
    }
    handle_ = static_cast<intptr_t>(INVALID_SOCKET);
    established_ = false;
    connectFailed_ = false;
}

}  // namespace platform
