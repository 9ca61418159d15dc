#include "supervision/journal_line.h"

#include "journal/line.h"
#include "journal/time_format.h"
#include "supervision/watchdog_state.h"

namespace {

namespace ev = watchdog_event;
namespace de = daemon_event;
using journal::EventKind;

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

// What an application's line takes besides its event.
struct AppText {
    const AppIdentity& app;
    TextToUtf8 utf8;
};

// The journal's event of each watchdog event that makes a line, filled in
// `*j`, or false. The rest make none: the waits and reads that continue a
// run, the steps before an action (Terminate and Launch: their outcomes make
// the lines), the thread's start and end, the messages and the tries of the
// result-file checks.
template <typename Kind>
bool AppLine(const Kind&, const AppText&, journal::Event*) {
    return false;
}

bool AppLine(const ev::ThreadNotStarted&, const AppText&, journal::Event* j) {
    j->kind = EventKind::kThreadNotStarted;
    return true;
}

bool AppLine(const ev::BuffersMissing&, const AppText&, journal::Event* j) {
    j->kind = EventKind::kThreadNotStarted;
    j->reason = "out of memory";
    return true;
}

bool AppLine(const ev::Connected& e, const AppText&, journal::Event* j) {
    j->kind = EventKind::kConnected;
    j->waits = e.waits;
    return true;
}

// A silence and a run of failed reads make a line only as they begin.
bool AppLine(const ev::SilentWait& e, const AppText&, journal::Event* j) {
    j->kind = EventKind::kSilence;
    return e.waits == 1;
}

bool AppLine(const ev::ReadFailed& e, const AppText&, journal::Event* j) {
    j->kind = EventKind::kFailing;
    // The code says something only when the read itself failed; a peer that
    // closed leaves whatever error came before.
    if (e.readResult < 0) {
        j->code = e.socketError;
    } else {
        j->closed = 1;
    }
    return e.failures == 1;
}

bool AppLine(const ev::Resumed& e, const AppText&, journal::Event* j) {
    j->kind = EventKind::kResumed;
    j->cycle = CycleName(e.after);
    j->count = e.count;
    return true;
}

bool AppLine(const ev::Terminated& e, const AppText&, journal::Event* j) {
    j->kind = EventKind::kTerminated;
    j->cycle = CycleName(e.cycle);
    j->count = CycleCount(e.cycle, CycleAction::kTerminate);
    j->processes = e.processes;
    j->result = e.result;
    return true;
}

bool AppLine(const ev::Launched& e, const AppText& text, journal::Event* j) {
    j->kind = EventKind::kLaunched;
    j->cycle = CycleName(e.cycle);
    j->count = CycleCount(e.cycle, CycleAction::kLaunch);
    j->ok = Flag(e.started);
    j->error = e.error;
    j->session = e.session;
    j->user = Flag(e.userFound);
    j->command = text.utf8(std::string(e.command));
    return true;
}

bool AppLine(const ev::Reconnect& e, const AppText&, journal::Event* j) {
    j->kind = EventKind::kReconnect;
    j->cycle = CycleName(e.cycle);
    j->count = e.count;
    return true;
}

// A train's key and serial are the application's bytes, not configured
// texts: written as they came.
bool AppLine(const ev::Train& e, const AppText&, journal::Event* j) {
    j->kind = EventKind::kTrain;
    j->key = std::string(e.key);
    j->vehicles = e.vehicles;
    j->serial = std::string(e.serial);
    return true;
}

bool AppLine(const ev::Mismatch& e, const AppText&, journal::Event* j) {
    j->kind = EventKind::kMismatch;
    j->key = std::string(e.key);
    j->pictures = e.pictures;
    j->files = e.xmlFiles;
    return true;
}

// An uninstall or install command's line.
template <typename Command>
bool CommandLine(EventKind kind, const Command& e, const AppText& text, journal::Event* j) {
    j->kind = kind;
    j->subApp = text.utf8(text.app.subApp);
    j->command = text.utf8(std::string(e.command));
    j->ok = Flag(e.taken);
    j->code = e.shellCode;
    return true;
}

bool AppLine(const ev::Uninstall& e, const AppText& text, journal::Event* j) {
    return CommandLine(EventKind::kUninstall, e, text, j);
}

bool AppLine(const ev::Install& e, const AppText& text, journal::Event* j) {
    return CommandLine(EventKind::kInstall, e, text, j);
}

bool AppLine(const ev::BufferOverflow& e, const AppText&, journal::Event* j) {
    j->kind = EventKind::kBufferOverflow;
    j->discarded = e.discarded;
    j->kept = e.kept;
    return true;
}

bool AppLine(const ev::OutOfMemory&, const AppText&, journal::Event* j) {
    j->kind = EventKind::kOutOfMemory;
    return true;
}

// The journal's event of each event of the supervisor itself, or false.
bool DaemonLine(const de::Stopping&, TextToUtf8, journal::Event*) {
    return false;
}

bool DaemonLine(const de::ClockJump&, TextToUtf8, journal::Event*) {
    return false;  // ClockJumpLine: it needs the event's time
}

bool DaemonLine(const de::Control&, TextToUtf8, journal::Event*) {
    return false;  // ControlLine: it needs the event's time
}

template <typename StartOrStop>
bool RunLine(EventKind kind, const StartOrStop& e, journal::Event* j) {
    j->kind = kind;
    j->version = std::string(e.version);
    j->apps = e.apps;
    return true;
}

bool DaemonLine(const de::Started& e, TextToUtf8, journal::Event* j) {
    return RunLine(EventKind::kDaemonStarted, e, j);
}

bool DaemonLine(const de::Stopped& e, TextToUtf8, journal::Event* j) {
    return RunLine(EventKind::kDaemonStopped, e, j);
}

template <typename Load>
bool ConfigLine(EventKind kind, const Load& e, TextToUtf8 utf8, journal::Event* j) {
    j->kind = kind;
    j->path = utf8(std::string(e.path));
    j->report = utf8(std::string(e.report));
    return true;
}

bool DaemonLine(const de::ConfigLoaded& e, TextToUtf8 utf8, journal::Event* j) {
    return ConfigLine(EventKind::kConfigLoaded, e, utf8, j);
}

bool DaemonLine(const de::ConfigNotLoaded& e, TextToUtf8 utf8, journal::Event* j) {
    return ConfigLine(EventKind::kConfigNotLoaded, e, utf8, j);
}

bool DaemonLine(const de::ConfigPitfalls& e, TextToUtf8 utf8, journal::Event* j) {
    j->kind = EventKind::kConfigPitfalls;
    j->count = e.Count();
    for (const std::string& finding : e.findings) {
        j->findings.push_back(utf8(finding));
    }
    return true;
}

// The clock's two readings in the offset of the event's own time.
bool ClockJumpLine(const de::ClockJump& e, const journal::Time& time, journal::Event* j) {
    j->kind = EventKind::kClockJump;
    j->from = journal::FormatRfc3339(journal::Time{e.fromMs, time.offsetMinutes});
    j->to = journal::FormatRfc3339(journal::Time{e.toMs, time.offsetMinutes});
    return true;
}

// The texts of a control request are UTF-8 already (the channel's JSON, or
// the application's name as converted for it); the pause's end is written
// in the offset of the event's own time.
bool ControlLine(const de::Control& e, const journal::Time& time, journal::Event* j) {
    j->kind = EventKind::kControl;
    j->app = std::string(e.app);
    j->by = std::string(e.by);
    j->action = std::string(e.action);
    j->reason = std::string(e.reason);
    if (e.untilMs != 0) {
        j->until = journal::FormatRfc3339(journal::Time{e.untilMs, time.offsetMinutes});
    }
    j->ok = Flag(e.granted);
    j->answer = std::string(e.answer);
    return true;
}

}  // namespace

bool JournalEventOf(const AppIdentity& app, const WatchdogEvent& event, const journal::Time& time,
                    TextToUtf8 utf8, journal::Event* line) {
    const AppText text{app, utf8};
    if (!std::visit([&](const auto& kind) { return AppLine(kind, text, line); }, event.what)) {
        return false;
    }
    line->time = time;
    line->app = utf8(app.name);
    line->index = app.index;
    line->endpoint = utf8(app.endpoint);
    return true;
}

bool JournalEventOf(const DaemonEvent& event, const journal::Time& time, TextToUtf8 utf8,
                    journal::Event* line) {
    bool made = false;
    if (const auto* jump = std::get_if<de::ClockJump>(&event)) {
        made = ClockJumpLine(*jump, time, line);
    } else if (const auto* control = std::get_if<de::Control>(&event)) {
        made = ControlLine(*control, time, line);
    } else {
        made = std::visit([&](const auto& kind) { return DaemonLine(kind, utf8, line); }, event);
    }
    line->time = time;
    return made;
}

std::string JournalLine(const AppIdentity& app, const WatchdogEvent& event,
                        const journal::Time& time, TextToUtf8 utf8) {
    journal::Event line;
    return JournalEventOf(app, event, time, utf8, &line) ? journal::FormatLine(line)
                                                         : std::string();
}

std::string JournalLine(const DaemonEvent& event, const journal::Time& time, TextToUtf8 utf8) {
    journal::Event line;
    return JournalEventOf(event, time, utf8, &line) ? journal::FormatLine(line) : std::string();
}
