#include "platform/socket_library.h"

#include <csignal>

namespace platform {

void SocketLibraryStartup() {
    // A peer that closes while we write must not end the process; writes then
    // fail with EPIPE like a reset connection on Windows.
    std::signal(SIGPIPE, SIG_IGN);
}

void SocketLibraryCleanup() {}

}  // namespace platform
