#include "platform/host_name.h"

#include <unistd.h>

namespace platform {

std::string HostName() {
    // Host names are at most 255 bytes; the last byte stays a terminator
    // even where a longer name is cut without one.
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) {
        return std::string();
    }
    return name;
}

}  // namespace platform
