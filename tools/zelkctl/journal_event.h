// One event of the daemon's journal (one line of a zelk-events-YYYY-MM-DD.jsonl
// file): its kind, its time, the application it concerns and its own fields.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zelkctl {

enum class EventKind : uint8_t {
    kDaemonStarted,
    kDaemonStopped,
    kConfigLoaded,
    kConfigNotLoaded,
    kConfigPitfalls,
    kThreadNotStarted,
    kConnected,
    kSilence,
    kFailing,
    kResumed,
    kTerminated,
    kLaunched,
    kReconnect,
    kTrain,
    kMismatch,
    kUninstall,
    kInstall,
    kBufferOverflow,
    kOutOfMemory,
    // A kind this zelkctl does not know (a newer daemon's): listed by
    // history under its own name, ignored by the timeline.
    kUnknown,
};

// The kind named `name` as the journal writes it, or kUnknown.
EventKind KindByName(std::string_view name);
// The journal's name of a known kind ("" for kUnknown).
const char* KindName(EventKind kind);
// True for the kinds that concern one application (they carry app, index
// and endpoint); false for the daemon's own.
bool IsAppKind(EventKind kind);
// Every known kind's name, in the order above, for help and error texts.
std::vector<std::string> KnownKindNames();

// A number field absent from the line (or not an integer).
constexpr int64_t kNoNumber = INT64_MIN;

struct Event {
    int64_t timeMs = 0;     // the instant, milliseconds since the epoch (UTC)
    int offsetMinutes = 0;  // the UTC offset the time was written with
    EventKind kind = EventKind::kUnknown;
    std::string kindName;  // as written; set for every kind
    // Application events: the application's name (UTF-8), its place in
    // config.xml from 0 (-1 when absent) and "ip:port".
    std::string app;
    int index = -1;
    std::string endpoint;
    // Own fields; empty or kNoNumber when absent. `cycle` holds the
    // reconnect/terminate/launch cycle, or what `resumed` came after.
    std::string cycle;
    std::string version, path, report, command, key, serial, subApp, reason;
    std::vector<std::string> findings;
    int64_t apps = kNoNumber, pid = kNoNumber, count = kNoNumber, waits = kNoNumber,
            code = kNoNumber, error = kNoNumber, session = kNoNumber, processes = kNoNumber,
            result = kNoNumber, vehicles = kNoNumber, pictures = kNoNumber, files = kNoNumber,
            discarded = kNoNumber, kept = kNoNumber;
    int ok = -1;  // 1 true, 0 false, -1 absent
};

}  // namespace zelkctl
