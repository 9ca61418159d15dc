#include "platform/host_name.h"

#include <windows.h>

namespace platform {

std::string HostName() {
    char name[256] = {};
    DWORD size = sizeof name;
    if (GetComputerNameExA(ComputerNameDnsHostname, name, &size) && size > 0) {
        return std::string(name, size);
    }
    size = sizeof name;
    if (GetComputerNameA(name, &size)) {
        return std::string(name, size);
    }
    return std::string();
}

}  // namespace platform
