// AppConfig: one supervised application as config.xml describes it. It holds
// configuration only; the watchdog's run-time state belongs to its thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>

class CDaemon;

// The most applications one supervisor watches.
constexpr int kMaxApplications = 20;

// Folders of result XML files one application may name; later ones are ignored.
constexpr int kMaxFileMonitors = 16;

// An IPv4 socket address: family, port and address, the last two in network
// byte order, as the connect call takes them.
struct Ipv4SocketAddress {
    uint16_t family = 0;
    uint16_t port = 0;
    uint32_t address = 0;
};

struct AppConfig {
    std::string name;           // the application's name; the executable file name CloseExe matches
    std::string path;           // the command line OpenExe launches
    std::string ip;             // dotted IPv4 address of the application's listening socket
    int32_t port = 0;           // the port as read; only its low 16 bits reach `address`
    Ipv4SocketAddress address;  // where the watchdog connects
    std::string subAppName;
    std::string startPath;  // the sub-application's install command
    std::string stopPath;   // the sub-application's uninstall command
    // Result folders, each ending in the path separator; the first empty
    // entry ends the list.
    std::array<std::string, kMaxFileMonitors> fileMonitor;
    std::string picMonitor;    // picture folder, ending in the path separator
    CDaemon* owner = nullptr;  // the supervisor that started the thread
};
