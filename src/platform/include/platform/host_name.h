// The name of this computer, which names the station in zelkctl's pictures.
#pragma once

#include <string>

namespace platform {

// The host name (Win32: the computer's DNS host name, else its NetBIOS
// name); empty when the system does not tell.
std::string HostName();

}  // namespace platform
