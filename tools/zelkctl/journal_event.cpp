#include "zelkctl/journal_event.h"

namespace zelkctl {

namespace {

struct KindRow {
    EventKind kind;
    std::string_view name;
    bool app;  // concerns one application
};

// Every kind the journal writes, in the order of EventKind.
constexpr KindRow kKinds[] = {
    {EventKind::kDaemonStarted, "daemon_started", false},
    {EventKind::kDaemonStopped, "daemon_stopped", false},
    {EventKind::kConfigLoaded, "config_loaded", false},
    {EventKind::kConfigNotLoaded, "config_not_loaded", false},
    {EventKind::kConfigPitfalls, "config_pitfalls", false},
    {EventKind::kThreadNotStarted, "thread_not_started", true},
    {EventKind::kConnected, "connected", true},
    {EventKind::kSilence, "silence", true},
    {EventKind::kFailing, "failing", true},
    {EventKind::kResumed, "resumed", true},
    {EventKind::kTerminated, "terminated", true},
    {EventKind::kLaunched, "launched", true},
    {EventKind::kReconnect, "reconnect", true},
    {EventKind::kTrain, "train", true},
    {EventKind::kMismatch, "mismatch", true},
    {EventKind::kUninstall, "uninstall", true},
    {EventKind::kInstall, "install", true},
    {EventKind::kBufferOverflow, "buffer_overflow", true},
    {EventKind::kOutOfMemory, "out_of_memory", true},
};

static_assert(sizeof kKinds / sizeof kKinds[0] == static_cast<std::size_t>(EventKind::kUnknown),
              "one row per known kind");

}  // namespace

EventKind KindByName(std::string_view name) {
    for (const KindRow& row : kKinds) {
        if (name == row.name) {
            return row.kind;
        }
    }
    return EventKind::kUnknown;
}

const char* KindName(EventKind kind) {
    const auto i = static_cast<std::size_t>(kind);
    return i < sizeof kKinds / sizeof kKinds[0] ? kKinds[i].name.data() : "";
}

bool IsAppKind(EventKind kind) {
    const auto i = static_cast<std::size_t>(kind);
    return i < sizeof kKinds / sizeof kKinds[0] && kKinds[i].app;
}

std::vector<std::string> KnownKindNames() {
    std::vector<std::string> names;
    for (const KindRow& row : kKinds) {
        names.emplace_back(row.name);
    }
    return names;
}

}  // namespace zelkctl
