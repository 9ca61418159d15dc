// The status snapshot: what the supervisor knows of each watched application,
// written as zelk.prom in the Prometheus text exposition format (0.0.4) for
// the node_exporter and windows_exporter textfile collectors, and read back
// by zelkctl. Formatting and parsing are plain functions of each other.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The file the daemon writes into the status folder, and the temporary file
// beside it that is renamed over it (collectors read only *.prom files).
constexpr char kStatusFileName[] = "zelk.prom";
constexpr char kStatusTempFileName[] = "zelk.prom.tmp";

// One watched application. Times are seconds since the epoch, 0 for never.
struct AppStatus {
    std::string name;      // label app
    int index = 0;         // label index: 0 to 19, the order of the app elements
    std::string endpoint;  // label endpoint: "ip:port" as configured

    bool connected = false;    // the watchdog's connection state is Connected
    int32_t silentWaits = 0;   // the current time-out count of either state
    int32_t recvFailures = 0;  // the current run of failed reads
    int64_t lastMessageTime = 0;
    int64_t lastTrainTime = 0;
    bool installPending = false;  // an uninstall ran and its install is due

    uint64_t handshakes = 0;
    uint64_t trains = 0;
    uint64_t bytesReceived = 0;
    uint64_t terminations = 0;  // CloseExe calls of the watchdog
    uint64_t launches = 0;      // OpenExe calls of the watchdog
    uint64_t reconnects = 0;    // every "goto loop"
    uint64_t fileMismatches = 0;
    uint64_t uninstallCommands = 0;
    uint64_t installCommands = 0;
};

struct StatusSnapshot {
    int64_t daemonStartTime = 0;
    int64_t writeTime = 0;
    int appsConfigured = 0;
    std::vector<AppStatus> apps;
};

// The exposition text: HELP and TYPE lines for every metric, one sample per
// application (labels app, index and endpoint, values escaped), ending with a
// line end.
std::string FormatStatus(const StatusSnapshot& snapshot);

// Reads a text that FormatStatus wrote (comments, unknown metrics and blank
// lines are passed over; the order of the lines does not matter). False, with
// `*error` saying why in one line, when the text is not such a snapshot.
bool ParseStatus(const std::string& text, StatusSnapshot* snapshot, std::string* error);
