// Start-up and clean-up of the socket library (Winsock 2.2 on Win32; nothing
// to do on POSIX).
#pragma once

namespace platform {

void SocketLibraryStartup();
void SocketLibraryCleanup();

}  // namespace platform
