// IPv4 text and byte order, the same on every platform: the socket library's
// own inet_pton and htons, whose headers are all that differs.
#include "platform/tcp_client.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#endif

namespace platform {

uint16_t HostToNetwork16(uint16_t value) {
    return htons(value);
}

bool ParseIpv4(const char* text, uint32_t* out) {
    in_addr address{};
    if (text == nullptr || inet_pton(AF_INET, text, &address) != 1) {
        return false;
    }
    *out = address.s_addr;
    return true;
}

}  // namespace platform
