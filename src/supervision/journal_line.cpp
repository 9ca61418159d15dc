#include "supervision/journal_line.h"

#include "journal/line.h"
#include "supervision/watchdog_state.h"

namespace {

using journal::EventKind;
using Kind = WatchdogEventKind;

const char* CycleName(Cycle cycle) {
    switch (cycle) {
        case Cycle::kConnecting:
            return "connecting";
        case Cycle::kSilent:
            return "silent";
        case Cycle::kFailing:
            return "failing";
        case Cycle::kWaitFailing:
            return "wait_failing";
        case Cycle::kNoSocket:
            return "socket";
        case Cycle::kNone:
            break;
    }
    return "none";
}

int Flag(bool value) {
    return value ? 1 : 0;
}

// Fills the journal's fields of one application event; false when this
// event makes no line after all.
using FillFields = bool (*)(const WatchdogEvent& e, const AppIdentity& app, TextToUtf8 utf8,
                            journal::Event* j);

bool NoFields(const WatchdogEvent&, const AppIdentity&, TextToUtf8, journal::Event*) {
    return true;
}

bool BuffersMissing(const WatchdogEvent&, const AppIdentity&, TextToUtf8, journal::Event* j) {
    j->reason = "out of memory";
    return true;
}

bool Connected(const WatchdogEvent& e, const AppIdentity&, TextToUtf8, journal::Event* j) {
    j->waits = e.count;
    return true;
}

bool Silence(const WatchdogEvent& e, const AppIdentity&, TextToUtf8, journal::Event*) {
    return e.count == 1;
}

bool Failing(const WatchdogEvent& e, const AppIdentity&, TextToUtf8, journal::Event* j) {
    // The code says something only when the read itself failed; a peer that
    // closed leaves whatever error came before.
    if (e.second < 0) {
        j->code = e.code;
    } else {
        j->closed = 1;
    }
    return e.count == 1;
}

bool Resumed(const WatchdogEvent& e, const AppIdentity&, TextToUtf8, journal::Event* j) {
    j->cycle = CycleName(e.cycle);
    j->count = e.count;
    return true;
}

bool Terminated(const WatchdogEvent& e, const AppIdentity&, TextToUtf8, journal::Event* j) {
    j->cycle = CycleName(e.cycle);
    j->count = CycleCount(e.cycle, CycleAction::kTerminate);
    j->processes = e.count;
    j->result = e.second;
    return true;
}

bool Launched(const WatchdogEvent& e, const AppIdentity&, TextToUtf8 utf8, journal::Event* j) {
    j->cycle = CycleName(e.cycle);
    j->count = CycleCount(e.cycle, CycleAction::kLaunch);
    j->ok = Flag(e.ok);
    j->error = e.code;
    j->session = e.second;
    j->user = Flag(e.count != 0);
    j->command = utf8(std::string(e.text));
    return true;
}

bool Reconnect(const WatchdogEvent& e, const AppIdentity&, TextToUtf8, journal::Event* j) {
    j->cycle = CycleName(e.cycle);
    j->count = e.count;
    return true;
}

// A train's key and serial are the application's bytes, not configured
// texts: written as they came.
bool Train(const WatchdogEvent& e, const AppIdentity&, TextToUtf8, journal::Event* j) {
    j->key = std::string(e.text);
    j->vehicles = e.count;
    j->serial = std::string(e.detail);
    return true;
}

bool Mismatch(const WatchdogEvent& e, const AppIdentity&, TextToUtf8, journal::Event* j) {
    j->key = std::string(e.text);
    j->pictures = e.count;
    j->files = e.second;
    return true;
}

bool Command(const WatchdogEvent& e, const AppIdentity& app, TextToUtf8 utf8, journal::Event* j) {
    j->subApp = utf8(app.subApp);
    j->command = utf8(std::string(e.text));
    j->ok = Flag(e.ok);
    j->code = e.second;
    return true;
}

bool BufferOverflow(const WatchdogEvent& e, const AppIdentity&, TextToUtf8, journal::Event* j) {
    j->discarded = e.count;
    j->kept = e.second;
    return true;
}

// The application events that make lines. Every other event makes none:
// the waits and reads that continue a run, the steps before an action
// (kTerminate and kLaunch: their outcomes make the lines), the thread's
// start and end, the messages and the tries of the result-file checks.
struct AppRow {
    Kind from;
    EventKind to;
    FillFields fill;
};
constexpr AppRow kAppRows[] = {
    {Kind::kThreadNotStarted, EventKind::kThreadNotStarted, NoFields},
    {Kind::kBuffersMissing, EventKind::kThreadNotStarted, BuffersMissing},
    {Kind::kConnected, EventKind::kConnected, Connected},
    {Kind::kSilentWait, EventKind::kSilence, Silence},
    {Kind::kReadFailed, EventKind::kFailing, Failing},
    {Kind::kResumed, EventKind::kResumed, Resumed},
    {Kind::kTerminated, EventKind::kTerminated, Terminated},
    {Kind::kLaunched, EventKind::kLaunched, Launched},
    {Kind::kReconnect, EventKind::kReconnect, Reconnect},
    {Kind::kTrain, EventKind::kTrain, Train},
    {Kind::kMismatch, EventKind::kMismatch, Mismatch},
    {Kind::kUninstall, EventKind::kUninstall, Command},
    {Kind::kInstall, EventKind::kInstall, Command},
    {Kind::kBufferOverflow, EventKind::kBufferOverflow, BufferOverflow},
    {Kind::kOutOfMemory, EventKind::kOutOfMemory, NoFields},
};

}  // namespace

std::string JournalLine(const AppIdentity& app, const WatchdogEvent& event,
                        const journal::Time& time, TextToUtf8 utf8) {
    for (const AppRow& row : kAppRows) {
        if (row.from != event.kind) {
            continue;
        }
        journal::Event line;
        line.kind = row.to;
        if (!row.fill(event, app, utf8, &line)) {
            return std::string();
        }
        line.time = time;
        line.app = utf8(app.name);
        line.index = app.index;
        line.endpoint = utf8(app.endpoint);
        return journal::FormatLine(line);
    }
    return std::string();
}

std::string JournalLine(const DaemonEvent& event, const journal::Time& time, TextToUtf8 utf8) {
    journal::Event line;
    line.time = time;
    switch (event.kind) {
        case DaemonEventKind::kStarted:
        case DaemonEventKind::kStopped:
            line.kind = event.kind == DaemonEventKind::kStarted ? EventKind::kDaemonStarted
                                                                : EventKind::kDaemonStopped;
            line.version = std::string(event.text);
            line.apps = event.count;
            break;
        case DaemonEventKind::kConfigLoaded:
        case DaemonEventKind::kConfigNotLoaded:
            line.kind = event.kind == DaemonEventKind::kConfigLoaded ? EventKind::kConfigLoaded
                                                                     : EventKind::kConfigNotLoaded;
            line.path = utf8(std::string(event.text));
            line.report = utf8(std::string(event.detail));
            break;
        case DaemonEventKind::kConfigPitfalls:
            line.kind = EventKind::kConfigPitfalls;
            line.count = event.count;
            if (event.findings != nullptr) {
                for (const std::string& finding : *event.findings) {
                    line.findings.push_back(utf8(finding));
                }
            }
            break;
        case DaemonEventKind::kStopping:
            return std::string();
    }
    return journal::FormatLine(line);
}
