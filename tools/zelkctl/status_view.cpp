#include "zelkctl/status_view.h"

#include <vector>

#include "daemon/log_sanitize.h"
#include "zelkctl/text_table.h"

namespace zelkctl {

namespace {

std::string Count(int32_t n, const char* unit) {
    return std::to_string(n) + " " + unit + (n == 1 ? "" : "s");
}

std::string Ago(int64_t time, int64_t now) {
    return time == 0 ? "never" : Duration(now - time) + " ago";
}

std::string Plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool IsStale(const StatusSnapshot& snapshot, int64_t now) {
    const int64_t age = now - snapshot.writeTime;
    return age > kStaleSeconds || age < -kStaleSeconds;
}

std::string Verdict(const StatusSnapshot& snapshot, int64_t now) {
    const int64_t age = now - snapshot.writeTime;
    const std::string written = "snapshot written " + Duration(age) + " ago";
    if (age < -kStaleSeconds) {
        return "CRITICAL: snapshot written " + Duration(-age) +
               " ahead of the clock, which was set back since: the daemon is stopped or stuck";
    }
    if (IsStale(snapshot, now)) {
        return "CRITICAL: " + written + ", over " + std::to_string(kStaleSeconds) +
               "s: the daemon is stopped or stuck";
    }
    std::string down;
    std::size_t downCount = 0;
    for (const AppStatus& app : snapshot.apps) {
        if (!CountsAsConnected(app)) {
            down += (down.empty() ? "" : ", ") + SanitizeForLog(app.name);
            ++downCount;
        }
    }
    const std::size_t total = snapshot.apps.size();
    if (downCount > 0) {
        return "WARNING: " + std::to_string(downCount) + " of " +
               Plural(total, "application", "applications") + " not connected (" + down + "); " +
               written;
    }
    if (total == 0) {
        return "OK: no application configured; " + written;
    }
    return "OK: " + Plural(total, "application", "applications") + " connected; " + written;
}

}  // namespace

std::string StateText(const AppStatus& app) {
    if (!app.connected) {
        return "connecting, " + Count(app.silentWaits, "wait");
    }
    if (app.recvFailures > 0) {
        return "failing, " + Count(app.recvFailures, "read");
    }
    if (app.silentWaits > 0) {
        return "silent, " + Count(app.silentWaits, "wait");
    }
    return "connected";
}

bool CountsAsConnected(const AppStatus& app) {
    return app.connected && app.recvFailures == 0;
}

int StatusExitCode(const StatusSnapshot& snapshot, int64_t now) {
    if (IsStale(snapshot, now)) {
        return kStatusStale;
    }
    for (const AppStatus& app : snapshot.apps) {
        if (!CountsAsConnected(app)) {
            return kStatusNotConnected;
        }
    }
    return kStatusOk;
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

std::string StatusReport(const StatusSnapshot& snapshot, const std::string& source, int64_t now) {
    std::string out = Verdict(snapshot, now) + "\n";
    out += "snapshot " + source;
    if (snapshot.daemonStartTime != 0) {
        out += ", daemon up " + Duration(snapshot.writeTime - snapshot.daemonStartTime);
    }
    out += "\n\n";
    if (snapshot.apps.empty()) {
        return out + "The daemon watches no application.\n";
    }
    TextTable table({"APP", "ENDPOINT", "STATE", "LAST MESSAGE", "TRAINS", "MISMATCHES",
                     "TERM/LAUNCH/RECONN", "INSTALL"});
    for (const AppStatus& app : snapshot.apps) {
        table.AddRow({SanitizeForLog(app.name), SanitizeForLog(app.endpoint), StateText(app),
                      Ago(app.lastMessageTime, now), std::to_string(app.trains),
                      std::to_string(app.fileMismatches),
                      std::to_string(app.terminations) + "/" + std::to_string(app.launches) + "/" +
                          std::to_string(app.reconnects),
                      app.installPending ? "pending" : "-"});
    }
    return out + table.Text();
}

}  // namespace zelkctl
