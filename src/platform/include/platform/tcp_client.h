// The watchdog's client socket: IPv4 TCP, non-blocking connect, waits for
// readability and plain reads. Sockets behave as Windows sockets do on every
// platform: a socket whose non-blocking connect failed is never readable;
// where the platform reports it readable all the same, the wait says so
// (kConnectFailed) and the caller sits out the rest of its wait.
#pragma once

#include <cstdint>

namespace platform {

// The IPv4 address family value of socket addresses.
extern const uint16_t kIpv4Family;

// A 16-bit value in network byte order.
uint16_t HostToNetwork16(uint16_t value);

// Converts dotted IPv4 text to a 32-bit address in network byte order.
// False, with `out` untouched, when the text is not a valid address.
bool ParseIpv4(const char* text, uint32_t* out);

// The calling thread's last socket error code (WSAGetLastError, errno).
int32_t LastSocketError();

// How a wait for readability ended.
enum class WaitOutcome {
    kReadable,       // data, an orderly close or a reset: the read tells which
    kTimedOut,       // nothing within the time
    kFailed,         // the wait itself failed (LastSocketError tells why)
    kConnectFailed,  // reported at once, but only because the connect failed
};

class TcpClient {
  public:
    TcpClient() = default;
    ~TcpClient() { Close(); }
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    // Creates the TCP socket. False when it could not be created; the client
    // then stays invalid and every wait on it fails at once.
    bool Create();
    bool IsValid() const;
    // Puts the socket into non-blocking mode; the result is not reported.
    void SetNonBlocking();
    // Issues the connect; its result is not reported (a non-blocking connect
    // normally is still under way when it returns).
    void Connect(uint16_t family, uint16_t networkPort, uint32_t networkAddress);
    // Waits up to `milliseconds` until the socket is readable. A fresh
    // time-out for every wait. kConnectFailed returns before the time is up.
    WaitOutcome WaitReadable(unsigned milliseconds);
    // One read of at most `capacity` bytes: the count, 0 when the peer has
    // closed, -1 on an error.
    int Receive(char* buffer, int capacity);
    // Closes the socket if valid; the client becomes invalid.
    void Close();

  private:
    intptr_t handle_ = -1;
    // Whether the connect has been seen to succeed: until then a socket that
    // reads as readable is checked for a peer (POSIX reports a failed
    // connect as readable, and so, at times, does Wine).
    bool established_ = false;
    // Whether the connect has been seen to fail. Reading the socket's error
    // clears it, so the verdict is kept for the later waits.
    bool connectFailed_ = false;
};

}  // namespace platform
