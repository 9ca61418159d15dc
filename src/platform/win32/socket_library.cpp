#include "platform/socket_library.h"

#include <winsock2.h>

namespace platform {

void SocketLibraryStartup() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
}

void SocketLibraryCleanup() {
    WSACleanup();
}

}  // namespace platform
