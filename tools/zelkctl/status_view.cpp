#include "zelkctl/status_view.h"

#include <ctime>
#include <vector>

#include "markup/encodings.h"
#include "supervision/log_sanitize.h"
#include "supervision/status_state.h"
#include "zelkctl/text_table.h"

namespace zelkctl {

namespace {

using journal::AppState;

std::string Count(int64_t n, const char* unit) {
    return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
}

std::string Ago(int64_t time, int64_t now) {
    return time == 0 ? "never" : Duration(now - time) + " ago";
}

std::string Plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// A label value (UTF-8) as the console shows it: in the ANSI code page, its
// control characters escaped.
std::string Shown(const std::string& utf8) {
    std::string text = utf8;
    EncodingConverter converter("UTF-8", utf8.data(), static_cast<int32_t>(utf8.size()));
    const int32_t size = utf8.empty() ? 0 : converter.ConvertText(nullptr, "");
    if (size > 0) {
        std::string ansi(static_cast<std::size_t>(size), '\0');
        if (converter.ConvertText(&ansi[0], nullptr) == size) {
            text = ansi;
        }
    }
    return SanitizeForLog(text);
}

// The state without the storm.
std::string PlainStateText(const AppStatus& app) {
    switch (StateOf(app)) {
        case AppState::kNotWatched:
            return "not watched";
        case AppState::kDown: {
            AppStatus after = app;
            after.down = false;
            return "down, " + PlainStateText(after);
        }
        case AppState::kFailing:
            return "failing, " + Count(app.recvFailures, "read");
        case AppState::kSilent:
            return "silent, " + Count(app.silentWaits, "wait");
        case AppState::kConnecting:
            return "connecting, " + Count(app.silentWaits, "wait");
        case AppState::kConnected:
        case AppState::kNone:  // StateOf never gives it
            break;
    }
    return app.silentWaits > 0 ? "connected, " + Count(app.silentWaits, "wait") + " silent"
                               : "connected";
}

// The state's first word, or "flapping, N in 1h", for the verdict.
std::string ShortState(const AppStatus& app) {
    if (app.maintenance) {
        return "maintenance";
    }
    if (StateOf(app) != AppState::kNotWatched && IsFlapping(app)) {
        return "flapping, " + std::to_string(app.restartsLastHour) + " in 1h";
    }
    return StateOf(app) == AppState::kNotWatched ? "not watched" : journal::StateName(StateOf(app));
}

bool IsStale(const StatusSnapshot& snapshot, int64_t now) {
    const int64_t age = now - snapshot.writeTime;
    return age > kStaleSeconds || age < -kStaleSeconds;
}

// The daemon no longer writes: it said it stopped, its process is gone, or
// its snapshot is stale.
bool NotWriting(const StatusSnapshot& snapshot, int64_t now, bool writerGone) {
    return snapshot.daemonStopTime != 0 || writerGone || IsStale(snapshot, now);
}

// ", up 2m 22s" as of now while the daemon runs, ", ran ..." up to its stop,
// ", up ... at its last write" when it is gone or stuck.
std::string Uptime(const StatusSnapshot& snapshot, int64_t now, bool writerGone) {
    if (snapshot.daemonStopTime != 0) {
        return ", ran " + Duration(snapshot.daemonStopTime - snapshot.daemonStartTime);
    }
    if (writerGone || IsStale(snapshot, now)) {
        return ", up " + Duration(snapshot.writeTime - snapshot.daemonStartTime) +
               " at its last write";
    }
    return ", up " + Duration(now - snapshot.daemonStartTime);
}

std::string LocalDateTime(int64_t seconds, LocalTimeOf localTime) {
    std::tm local{};
    char text[32] = "";
    if (!localTime(seconds, &local) ||
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) == 0) {
        return std::to_string(seconds) + " seconds since the epoch";
    }
    return text;
}

std::string Verdict(const StatusSnapshot& snapshot, int64_t now, LocalTimeOf localTime,
                    bool writerGone) {
    const int64_t age = now - snapshot.writeTime;
    const std::string written = "snapshot written " + Duration(age) + " ago";
    if (snapshot.daemonStopTime != 0) {
        return "CRITICAL: the daemon stopped at " +
               LocalDateTime(snapshot.daemonStopTime, localTime) + "; nothing is watched";
    }
    if (writerGone) {
        return "CRITICAL: daemon not running (process " + std::to_string(snapshot.writer.id) +
               " gone); its last " + written + "; nothing is watched";
    }
    if (age < -kStaleSeconds) {
        return "CRITICAL: snapshot written " + Duration(-age) +
               " ahead of the clock, which was set back since: the daemon is stopped or stuck";
    }
    if (IsStale(snapshot, now)) {
        return "CRITICAL: " + written + ", over " + std::to_string(kStaleSeconds) +
               "s: the daemon is stopped or stuck";
    }
    const std::size_t total = snapshot.apps.size();
    std::string unwatched;
    std::size_t unwatchedCount = 0;
    std::string attention;
    std::size_t attentionCount = 0;
    for (const AppStatus& app : snapshot.apps) {
        const int code = AppExitCode(app);
        if (code == kStatusCritical) {
            unwatched += (unwatched.empty() ? "" : ", ") + Shown(app.name);
            ++unwatchedCount;
        } else if (code == kStatusWarning) {
            attention += (attention.empty() ? "" : "; ") + Shown(app.name) + ": " + ShortState(app);
            ++attentionCount;
        }
    }
    const std::string of = " of " + Plural(total, "application", "applications");
    if (unwatchedCount > 0) {
        return "CRITICAL: " + std::to_string(unwatchedCount) + of + " not watched (" + unwatched +
               "): the daemon could not start " + (unwatchedCount == 1 ? "its" : "their") +
               " watchdog; " + written;
    }
    if (attentionCount > 0) {
        return "WARNING: " + std::to_string(attentionCount) + of + " need attention (" + attention +
               "); " + written;
    }
    if (total == 0) {
        return "WARNING: config.xml names no application: nothing is watched; " + written;
    }
    return "OK: " + Plural(total, "application", "applications") + " connected; " + written;
}

// Who paused each application in maintenance, why, and until when, in
// `localTime`, with the time left as of `now`.
std::string MaintenanceLines(const StatusSnapshot& snapshot, int64_t now, LocalTimeOf localTime) {
    std::string out;
    for (const AppStatus& app : snapshot.apps) {
        if (!app.maintenance) {
            continue;
        }
        const int64_t left = app.maintenanceUntil - now;
        out += "  " + Shown(app.name) + ": paused by " +
               Shown(app.maintenanceBy.empty() ? "unknown" : app.maintenanceBy) + " until " +
               LocalDateTime(app.maintenanceUntil, localTime) + " (" +
               (left > 0 ? Duration(left) + " left" : "ends at the next check") +
               "): " + Shown(app.maintenanceReason) + "\n";
    }
    return out.empty() ? out : "\nIn maintenance (zelkctl resume APP ends it):\n" + out;
}

}  // namespace

std::string StateText(const AppStatus& app) {
    if (app.maintenance) {
        return "maintenance (no action taken); " + PlainStateText(app);
    }
    if (StateOf(app) != AppState::kNotWatched && IsFlapping(app)) {
        return ShortState(app) + "; " + PlainStateText(app);
    }
    return PlainStateText(app);
}

int AppExitCode(const AppStatus& app) {
    const AppState state = StateOf(app);
    if (state == AppState::kNotWatched) {
        return kStatusCritical;
    }
    if (app.maintenance) {
        return kStatusWarning;
    }
    return state == AppState::kConnected && !IsFlapping(app) ? kStatusOk : kStatusWarning;
}

bool WriterToAsk(const StatusSnapshot& snapshot, const std::string& localHost) {
    return snapshot.writer.id != 0 && !localHost.empty() && snapshot.writer.host == localHost &&
           snapshot.daemonStopTime == 0;
}

int StatusExitCode(const StatusSnapshot& snapshot, int64_t now, bool writerGone) {
    if (NotWriting(snapshot, now, writerGone)) {
        return kStatusCritical;
    }
    int worst = snapshot.apps.empty() ? kStatusWarning : kStatusOk;
    for (const AppStatus& app : snapshot.apps) {
        const int code = AppExitCode(app);
        worst = code > worst ? code : worst;
    }
    return worst;
}

std::string Duration(int64_t seconds) {
    const int64_t s = seconds < 0 ? 0 : seconds;
    auto two = [](int64_t n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    if (s < 60) {
        return std::to_string(s) + "s";
    }
    if (s < 3600) {
        return std::to_string(s / 60) + "m " + two(s % 60) + "s";
    }
    if (s < 86400) {
        return std::to_string(s / 3600) + "h " + two(s / 60 % 60) + "m";
    }
    return std::to_string(s / 86400) + "d " + two(s / 3600 % 24) + "h";
}

std::string NoSnapshotAdvice(const char* serviceCommand) {
    return std::string(
               "the daemon has not written its status snapshot (yet): is the service "
               "running? `") +
           serviceCommand +
           "` tells; it writes the snapshot within seconds of its start, and at least every " +
           std::to_string(kStatusRoutineIntervalSeconds) + " s";
}

std::string NoStatusElementAdvice(const char* serviceCommand) {
    return std::string("add <status folder=\"...\"/> to config.xml and restart the service (`") +
           serviceCommand + "` shows it)";
}

std::string StatusReport(const StatusSnapshot& snapshot, const std::string& source, int64_t now,
                         LocalTimeOf localTime, bool writerGone) {
    std::string out = Verdict(snapshot, now, localTime, writerGone) + "\n";
    out += "snapshot " + source;
    if (!snapshot.version.empty()) {
        out += ", daemon " + Shown(snapshot.version);
    }
    if (snapshot.daemonStartTime != 0) {
        out += Uptime(snapshot, now, writerGone);
    }
    out += "\n";
    if (snapshot.configPitfalls > 0) {
        out += "config.xml has " + Count(snapshot.configPitfalls, "pitfall") +
               ": zelkctl check names them\n";
    }
    out += "\n";
    if (snapshot.apps.empty()) {
        return out + "The daemon watches no application.\n";
    }
    const int64_t agesTo = NotWriting(snapshot, now, writerGone) ? now : snapshot.writeTime;
    TextTable table({"APP", "ENDPOINT", "STATE", "LAST MESSAGE", "TRAINS", "MISMATCHES",
                     "TERM/LAUNCH/RECONN", "INSTALL"});
    for (const AppStatus& app : snapshot.apps) {
        table.AddRow({Shown(app.name), Shown(app.endpoint), StateText(app),
                      Ago(app.lastMessageTime, agesTo), std::to_string(app.trains),
                      std::to_string(app.fileMismatches),
                      std::to_string(app.processesTerminated) + "/" + std::to_string(app.launches) +
                          "/" + std::to_string(app.reconnects),
                      app.installPending ? "pending" : "-"});
    }
    return out + table.Text() + MaintenanceLines(snapshot, now, localTime);
}

}  // namespace zelkctl
