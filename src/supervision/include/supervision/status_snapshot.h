// The status snapshot: what the supervisor knows of each watched application,
// written as zelk.prom in the Prometheus text exposition format (0.0.4) for
// the node_exporter and windows_exporter textfile collectors, and read back
// by zelkctl. Formatting and parsing are plain functions of each other.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The file the daemon writes into the status folder. Each write goes to a
// new file whose name begins with kStatusTempPrefix and is renamed over it;
// collectors read only *.prom files, so they never see one half written.
constexpr char kStatusFileName[] = "zelk.prom";
constexpr char kStatusTempPrefix[] = "zelk.prom.tmp";

// Without a change of state the snapshot is written this often. The
// textfile collectors are scraped every 15 to 60 seconds, so a longer
// interval costs a scrape at most one routine write's age; a shorter one only
// wears the station's flash storage: with twenty applications a snapshot is
// about 50 KB, and every 20 s that is about 220 MB a day, every 15 s about
// 290 MB.
constexpr int64_t kStatusRoutineIntervalSeconds = 20;

// The latest time a snapshot may carry: 9999-12-31 23:59:59 UTC. A reader
// refuses later ones, so that no age it works out can overflow.
constexpr int64_t kMaxStatusTime = 253402300799;

// One watched application. Times are seconds since the epoch, 0 for never.
struct AppStatus {
    std::string name;      // label app, UTF-8
    int index = 0;         // label index: 0 to 19, the order of the app elements
    std::string endpoint;  // label endpoint: "ip:port" as configured, UTF-8

    bool notWatched = false;   // its watchdog thread could not be started
    bool down = false;         // terminated, and no data has arrived since
    bool connected = false;    // the watchdog's connection state is Connected
    int32_t silentWaits = 0;   // the current time-out count of either state
    int32_t recvFailures = 0;  // the current run of failed reads
    int64_t lastMessageTime = 0;
    int64_t lastTrainTime = 0;
    bool installPending = false;  // an uninstall ran and its install is due

    uint64_t handshakes = 0;
    uint64_t trains = 0;
    uint64_t bytesReceived = 0;
    uint64_t terminations = 0;         // termination attempts: CloseExe calls of the watchdog
    uint64_t processesTerminated = 0;  // processes those attempts actually ended
    int32_t terminationsLastHour = 0;  // attempts within the last hour of the write time
    uint64_t restarts = 0;             // terminations that began a down period
    int32_t restartsLastHour = 0;      // restarts within the last hour of the write time
    uint64_t launches = 0;             // OpenExe calls of the watchdog
    uint64_t reconnects = 0;           // every "goto loop"
    uint64_t fileMismatches = 0;
    uint64_t uninstallCommands = 0;
    uint64_t installCommands = 0;
    bool maintenance = false;       // paused through the control channel: no action taken
    int64_t maintenanceUntil = 0;   // the pause's end
    std::string maintenanceBy;      // who paused it, as the system named the caller (UTF-8)
    std::string maintenanceReason;  // why, as the request said it (UTF-8)
};

// The process that writes the snapshot, so that a reader on the same host
// can tell at once that it is gone (platform::ProcessRuns).
struct WriterProcess {
    std::string host;    // the host name the daemon runs on, UTF-8; empty: unknown
    uint32_t id = 0;     // 0: unknown (a snapshot of an older daemon)
    uint64_t start = 0;  // its start as the system tells it (platform::OwnProcess)
};

struct StatusSnapshot {
    std::string version;  // the daemon's version
    WriterProcess writer;
    int64_t daemonStartTime = 0;
    int64_t daemonStopTime = 0;  // 0 while the daemon runs; set in its last snapshot
    int64_t writeTime = 0;
    int appsConfigured = 0;
    bool configLoaded = false;    // config.xml was loaded
    int32_t configPitfalls = 0;   // findings of zelkctl check in the loaded config.xml
    uint64_t controlRefused = 0;  // control requests refused since the start
    std::vector<AppStatus> apps;
};

// The exposition text: HELP and TYPE lines for every metric, one sample per
// application (labels app, index and endpoint, values escaped), ending with a
// line end. Label values are written as they are: the board makes them UTF-8.
// An application in maintenance has one more sample, whose labels by and
// reason say who paused it and why.
std::string FormatStatus(const StatusSnapshot& snapshot);

// Reads a text that FormatStatus wrote (comments, unknown metrics and blank
// lines are passed over; the order of the lines does not matter). False, with
// `*error` saying why in one line, when the text is not such a snapshot: a
// line that is no sample, a value that is not a whole number within its
// metric's range (NaN and infinities included), an index label that is not
// 0 to 19, a process whose id or start label is no such number, or no write
// time.
bool ParseStatus(const std::string& text, StatusSnapshot* snapshot, std::string* error);
