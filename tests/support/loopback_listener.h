// A listening TCP socket on 127.0.0.1 for tests of the watchdog's client
// socket: accepts one connection and closes it in an orderly way or with a
// reset, optionally after sending bytes.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <string>

namespace testing_support {

class LoopbackListener {
  public:
#ifdef _WIN32
    using Handle = SOCKET;
    static constexpr Handle kNone = INVALID_SOCKET;
#else
    using Handle = int;
    static constexpr Handle kNone = -1;
#endif

    LoopbackListener() {
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        listen(listener_, 4);
        socklen_t length = sizeof(address);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~LoopbackListener() {
        Close(accepted_);
        Close(listener_);
    }
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    // The port in network byte order, as the client's Connect takes it.
    uint16_t NetworkPort() const {
        return htons(port_);
    }
    static uint32_t NetworkLoopback() {
        return htonl(INADDR_LOOPBACK);
    }

    // Waits for the next connection; false when none comes.
    bool Accept() {
        Close(accepted_);
        accepted_ = accept(listener_, nullptr, nullptr);
        return accepted_ != kNone;
    }
    void Send(const std::string& bytes) {
        send(accepted_, bytes.data(), static_cast<int>(bytes.size()), 0);
    }
    // Closes the accepted connection; with `reset`, abortively (an RST).
    void CloseAccepted(bool reset) {
        if (reset) {
#ifdef _WIN32
            // Wine notices a completed connect a moment after the peer
            // accepted it, and takes a reset before that for a failed
            // connect; Windows does not. Give it that moment.
            Sleep(100);
#endif
            linger abort{};
            abort.l_onoff = 1;
            abort.l_linger = 0;
            setsockopt(accepted_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
                       sizeof(abort));
        }
        Close(accepted_);
    }

  private:
    static void Close(Handle& handle) {
        if (handle != kNone) {
#ifdef _WIN32
            closesocket(handle);
#else
            close(handle);
#endif
            handle = kNone;
        }
    }

    Handle listener_ = kNone;
    Handle accepted_ = kNone;
    uint16_t port_ = 0;
};

}  // namespace testing_support
