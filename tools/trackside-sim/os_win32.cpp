#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdio>
#include <cstdlib>

#include "trackside-sim/os.h"

namespace simos {

const char kPathSeparator = '\\';

namespace {
SOCKET Handle(Socket socket) {
    return static_cast<SOCKET>(socket);
}

void MakeNonBlocking(SOCKET s) {
    u_long on = 1;
    ioctlsocket(s, FIONBIO, &on);
}
}  // namespace

bool StartNetwork() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

Socket Listen(const std::string& address, int port, int* error) {
    *error = 0;
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<u_short>(port));
    if (inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) {
        *error = WSAEINVAL;
        return kNoSocket;
    }
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        *error = WSAGetLastError();
        return kNoSocket;
    }
    // No SO_REUSEADDR: on Windows it would let a second instance take the
    // port while the first still listens.
    if (bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 || listen(s, 16) != 0) {
        *error = WSAGetLastError();
        closesocket(s);
        return kNoSocket;
    }
    MakeNonBlocking(s);
    return static_cast<Socket>(s);
}

Socket AcceptNext(Socket listener) {
    SOCKET s = accept(Handle(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET) {
        return kNoSocket;
    }
    MakeNonBlocking(s);
    return static_cast<Socket>(s);
}

bool SendAll(Socket connection, const std::string& bytes) {
    size_t sent = 0;
    int waited = 0;
    while (sent < bytes.size()) {
        int n =
            send(Handle(connection), bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK && waited < 2000) {
            Sleep(10);
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
        int n = recv(Handle(connection), scrap, sizeof scrap, 0);
        if (n > 0) {
            continue;
        }
        if (n == 0) {
            return true;
        }
        return WSAGetLastError() != WSAEWOULDBLOCK;
    }
}

void CloseSocket(Socket socket) {
    if (socket != kNoSocket) {
        closesocket(Handle(socket));
    }
}

void SleepMs(int milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}

bool MakeFolders(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\' || path[i] == '/') {
            // "C:" alone is no folder to create; the call fails harmlessly.
            CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
        }
    }
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int ProcessId() {
    return static_cast<int>(GetCurrentProcessId());
}

void EndProcess(int code) {
    std::fflush(stdout);
    ExitProcess(static_cast<UINT>(code));
}

}  // namespace simos
