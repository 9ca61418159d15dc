// The seam between the watchdog loop and its socket. Production uses the
// platform's TCP client (platform_seams.h); tests script every wait and read.
#pragma once

#include <cstdint>

#include "platform/tcp_client.h"
#include "supervision/app_config.h"

// The watchdog's TCP connection to its application; it is only ever read.
class Connection {
  public:
    virtual ~Connection() = default;
    // Creates a socket and issues a non-blocking connect to `address`. False
    // when no socket could be created (`*error` tells why).
    virtual bool Open(const Ipv4SocketAddress& address, int32_t* error) = 0;
    // Waits up to `milliseconds`; every wait gets its full time.
    virtual platform::WaitOutcome Wait(unsigned milliseconds) = 0;
    // One read of at most `capacity` bytes: the count, or 0 or less when the
    // peer closed the connection or it failed.
    virtual int Read(char* buffer, int capacity) = 0;
    // Closes the socket, if one is open.
    virtual void Close() = 0;
    // The code the watchdog's log lines show: the thread's last socket error
    // at this moment.
    virtual int32_t LastError() const = 0;
};
