#include <gtest/gtest.h>

#include <fstream>

#include "../support/temp_folder.h"
#include "supervision/status_snapshot.h"
#include "zelkctl/status_command.h"
#include "zelkctl/status_view.h"

namespace zelkctl {
namespace {

constexpr int64_t kNow = 1800000000;

AppStatus App(const std::string& name, bool connected, int32_t waits = 0, int32_t failures = 0) {
    AppStatus app;
    app.name = name;
    app.endpoint = "127.0.0.1:7001";
    app.connected = connected;
    app.silentWaits = waits;
    app.recvFailures = failures;
    return app;
}

AppStatus Down(AppStatus app) {
    app.down = true;
    return app;
}

AppStatus NotWatched(AppStatus app) {
    app.notWatched = true;
    return app;
}

AppStatus Paused(AppStatus app) {
    app.maintenance = true;
    app.maintenanceUntil = 1765000000;
    return app;
}

AppStatus Restarted(AppStatus app, int32_t lastHour) {
    app.restartsLastHour = lastHour;
    return app;
}

StatusSnapshot Snapshot(int64_t writeTime, std::vector<AppStatus> apps) {
    StatusSnapshot snapshot;
    snapshot.version = "1.0.0";
    snapshot.daemonStartTime = writeTime - 100;
    snapshot.writeTime = writeTime;
    snapshot.appsConfigured = static_cast<int>(apps.size());
    snapshot.apps = std::move(apps);
    // The daemon numbers the applications in order; the reader keys them so.
    for (std::size_t i = 0; i < snapshot.apps.size(); ++i) {
        snapshot.apps[i].index = static_cast<int>(i);
    }
    return snapshot;
}

// Local time zones: one whose clock always reads 2027-01-15 09:00:00, and
// one that cannot tell.
bool NineOClock(int64_t, std::tm* local) {
    *local = std::tm{};
    local->tm_year = 2027 - 1900;
    local->tm_mday = 15;
    local->tm_hour = 9;
    return true;
}
bool NoLocalTime(int64_t, std::tm*) {
    return false;
}

StatusSnapshot Stopped(StatusSnapshot snapshot, int64_t at) {
    snapshot.daemonStopTime = at;
    return snapshot;
}

TEST(ZelkctlStatus, StateInWordsWithTheExitCodeOfEach) {
    struct Case {
        AppStatus app;
        std::string state;
        int code;
    };
    const Case cases[] = {
        {App("a", false), "connecting, 0 waits", kStatusWarning},
        {App("a", false, 1), "connecting, 1 wait", kStatusWarning},
        {App("a", true, 0, 3), "failing, 3 reads", kStatusWarning},
        {App("a", true, 5, 1), "failing, 1 read", kStatusWarning},
        {App("a", true, 10), "connected, 10 waits silent", kStatusOk},
        {App("a", true, 11), "silent, 11 waits", kStatusWarning},
        {App("a", true), "connected", kStatusOk},
        {Down(App("a", false, 4)), "down, connecting, 4 waits", kStatusWarning},
        {Down(App("a", true, 0, 12)), "down, failing, 12 reads", kStatusWarning},
        {NotWatched(Down(App("a", false))), "not watched", kStatusCritical},
        {Restarted(App("a", true), 2), "connected", kStatusOk},
        {Restarted(App("a", true), 3), "flapping, 3 in 1h; connected", kStatusWarning},
        {Restarted(Down(App("a", false, 2)), 5), "flapping, 5 in 1h; down, connecting, 2 waits",
         kStatusWarning},
        {Paused(App("a", true)), "maintenance (no action taken); connected", kStatusWarning},
        {Paused(App("a", true, 40)), "maintenance (no action taken); silent, 40 waits",
         kStatusWarning},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StateText(c.app), c.state);
        EXPECT_EQ(AppExitCode(c.app), c.code) << c.state;
    }
}

TEST(ZelkctlStatus, DurationsReadAsAPersonWritesThem) {
    const std::pair<int64_t, const char*> cases[] = {
        {0, "0s"},          {59, "59s"},       {60, "1m 00s"}, {3599, "59m 59s"}, {3600, "1h 00m"},
        {86399, "23h 59m"}, {86400, "1d 00h"}, {-5, "0s"},     {90061, "1d 01h"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Duration(c.first), c.second) << c.first;
    }
}

TEST(ZelkctlStatus, ExitCodeCriticalOverWarningOverOk) {
    struct Case {
        StatusSnapshot snapshot;
        int code;
    };
    const Case cases[] = {
        {Snapshot(kNow, {App("a", true), App("b", true, 10)}), kStatusOk},
        {Snapshot(kNow - kStaleSeconds, {App("a", true)}), kStatusOk},
        {Snapshot(kNow - kStaleSeconds - 1, {App("a", true)}), kStatusCritical},
        // The clock was set back.
        {Snapshot(kNow + kStaleSeconds + 1, {App("a", true)}), kStatusCritical},
        {Stopped(Snapshot(kNow, {App("a", true)}), kNow), kStatusCritical},
        {Snapshot(kNow, {App("a", true), App("b", true, 0, 1)}), kStatusWarning},
        {Snapshot(kNow, {App("a", false), App("b", true)}), kStatusWarning},
        {Snapshot(kNow, {App("a", false), NotWatched(App("b", false))}), kStatusCritical},
        {Snapshot(kNow - kStaleSeconds - 1, {App("a", false)}), kStatusCritical},
        // A station that watches nothing is worth a look, not a page.
        {Snapshot(kNow, {}), kStatusWarning},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StatusExitCode(c.snapshot, kNow), c.code)
            << "written " << kNow - c.snapshot.writeTime << "s ago";
    }
}

TEST(ZelkctlStatus, TheTableAlignsEveryColumn) {
    AppStatus longName = App("a-rather-long-application.exe", true);
    longName.lastMessageTime = kNow - 5;
    longName.trains = 12;
    longName.terminations = 4;
    longName.processesTerminated = 1;
    longName.launches = 2;
    longName.reconnects = 3;
    AppStatus pending = App("x", false, 4);
    pending.installPending = true;
    StatusSnapshot snapshot = Snapshot(kNow - 1, {longName, pending});
    snapshot.configPitfalls = 2;
    const std::string report = StatusReport(snapshot, "/s/zelk.prom", kNow, NineOClock);
    const std::vector<std::string> lines = testing_support::SplitLines(report);
    ASSERT_EQ(lines.size(), 7u) << report;
    EXPECT_EQ(lines[0],
              "WARNING: 1 of 2 applications need attention (x: connecting); snapshot written 1s "
              "ago");
    // Uptime as of now, one second after the write.
    EXPECT_EQ(lines[1], "snapshot /s/zelk.prom, daemon 1.0.0, up 1m 41s");
    EXPECT_EQ(lines[2], "config.xml has 2 pitfalls: zelkctl check names them");
    const std::size_t state = lines[4].find("STATE");
    const std::size_t last = lines[4].find("LAST MESSAGE");
    EXPECT_EQ(lines[5].substr(state, 10), "connected ");
    EXPECT_EQ(lines[6].substr(state, 19), "connecting, 4 waits");
    // As of the write, one second before now.
    EXPECT_EQ(lines[5].substr(last, 6), "4s ago");
    EXPECT_EQ(lines[6].substr(last, 5), "never");
    EXPECT_NE(lines[5].find("  12  "), std::string::npos) << lines[5];
    // Processes terminated, not attempts.
    EXPECT_NE(lines[5].find("  1/2/3  "), std::string::npos) << lines[5];
    EXPECT_EQ(lines[6].substr(lines[6].size() - 7), "pending");
}

TEST(ZelkctlStatus, UnderTheTableWhoPausedWhatWhyAndUntilWhen) {
    AppStatus later = Paused(App("rec", true));
    later.maintenanceUntil = kNow + 2700;
    later.maintenanceBy = "tech";
    later.maintenanceReason = "update\x1b[2J";
    AppStatus overdue = Paused(App("gate", false, 2));
    const std::vector<std::string> lines = testing_support::SplitLines(
        StatusReport(Snapshot(kNow, {App("a", true), later, overdue}), "s", kNow, NineOClock));
    ASSERT_GE(lines.size(), 4u);
    EXPECT_NE(lines[0].find("need attention (rec: maintenance; gate: maintenance)"),
              std::string::npos)
        << lines[0];
    EXPECT_EQ(lines[lines.size() - 3], "In maintenance (zelkctl resume APP ends it):");
    // The reason is the operator's text: its control characters are escaped.
    EXPECT_EQ(lines[lines.size() - 2],
              "  rec: paused by tech until 2027-01-15 09:00:00 (45m 00s left): update\\x1B[2J");
    EXPECT_EQ(lines.back(),
              "  gate: paused by unknown until 2027-01-15 09:00:00 (ends at the next check): ");
    const std::string plain = StatusReport(Snapshot(kNow, {App("a", true)}), "s", kNow, NineOClock);
    EXPECT_EQ(plain.find("In maintenance"), std::string::npos);
}

TEST(ZelkctlStatus, TheStopTimeIsTheLocalClocks) {
    const StatusSnapshot stopped = Stopped(Snapshot(kNow - 600, {App("a", true)}), kNow - 599);
    const auto verdict = [&](LocalTimeOf localTime) {
        return testing_support::SplitLines(StatusReport(stopped, "s", kNow, localTime))[0];
    };
    EXPECT_EQ(verdict(NineOClock),
              "CRITICAL: the daemon stopped at 2027-01-15 09:00:00; nothing is watched");
    EXPECT_EQ(verdict(NoLocalTime), "CRITICAL: the daemon stopped at " +
                                        std::to_string(kNow - 599) +
                                        " seconds since the epoch; nothing is watched");
}

// Once the daemon no longer writes, each row keeps its last state and its
// last message ages to now; the uptime is as of the stop or the last write.
TEST(ZelkctlStatus, AfterTheDaemonTheAgesRunToNow) {
    AppStatus app = App("a", true);
    app.lastMessageTime = kNow - 605;
    const StatusSnapshot stopped = Stopped(Snapshot(kNow - 600, {app}), kNow - 599);
    std::vector<std::string> lines =
        testing_support::SplitLines(StatusReport(stopped, "s", kNow, NineOClock));
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[1], "snapshot s, daemon 1.0.0, ran 1m 41s");
    EXPECT_NE(lines.back().find("connected"), std::string::npos) << lines.back();
    EXPECT_NE(lines.back().find("10m 05s ago"), std::string::npos) << lines.back();

    StatusSnapshot gone = Snapshot(kNow - 30, {app});
    gone.writer = WriterProcess{"post-7", 77, 5};
    EXPECT_EQ(StatusExitCode(gone, kNow, false), kStatusOk);
    EXPECT_EQ(StatusExitCode(gone, kNow, true), kStatusCritical);
    lines = testing_support::SplitLines(StatusReport(gone, "s", kNow, NineOClock, true));
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0],
              "CRITICAL: daemon not running (process 77 gone); its last snapshot written 30s ago; "
              "nothing is watched");
    EXPECT_EQ(lines[1], "snapshot s, daemon 1.0.0, up 1m 40s at its last write");
    EXPECT_NE(lines.back().find("10m 05s ago"), std::string::npos) << lines.back();
    // While it writes, the ages are as of the write.
    lines = testing_support::SplitLines(StatusReport(gone, "s", kNow, NineOClock, false));
    EXPECT_NE(lines.back().find("9m 35s ago"), std::string::npos) << lines.back();

    // Only a running daemon of this host is asked after.
    EXPECT_TRUE(WriterToAsk(gone, "post-7"));
    EXPECT_FALSE(WriterToAsk(gone, "post-8"));
    EXPECT_FALSE(WriterToAsk(gone, ""));
    EXPECT_FALSE(WriterToAsk(Stopped(gone, kNow - 29), "post-7"));
    gone.writer.id = 0;
    EXPECT_FALSE(WriterToAsk(gone, "post-7"));
}

TEST(ZelkctlStatus, ReadsSnapshotFilesWithTheExitCodeOfEachState) {
    testing_support::TempFolder folder;
    const std::string dir = folder.WithSeparator();
    auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(dir + name, std::ios::binary) << text;
        return dir + name;
    };
    struct Case {
        std::string path;
        int code;
        std::string said;  // in the report, or in the error when there is none
    };
    const Case cases[] = {
        {write("ok.prom", FormatStatus(Snapshot(kNow - 2, {App("a", true), App("b", true, 3)}))),
         kStatusOk, "OK: 2 applications connected; snapshot written 2s ago"},
        {write("down.prom",
               FormatStatus(Snapshot(kNow, {App("a", true), Down(App("b", false, 9))}))),
         kStatusWarning, "WARNING: 1 of 2 applications need attention (b: down)"},
        {write("storm.prom", FormatStatus(Snapshot(kNow, {Restarted(App("a", true), 4)}))),
         kStatusWarning, "(a: flapping, 4 in 1h)"},
        {write("failing.prom", FormatStatus(Snapshot(kNow, {App("a", true, 0, 2)}))),
         kStatusWarning, "failing, 2 reads"},
        {write("paused.prom", FormatStatus(Snapshot(kNow, {Paused(App("a", true))}))),
         kStatusWarning, "maintenance (no action taken)"},
        {write("unwatched.prom",
               FormatStatus(Snapshot(kNow, {App("a", true), NotWatched(App("b", false))}))),
         kStatusCritical,
         "CRITICAL: 1 of 2 applications not watched (b): the daemon could not start its watchdog"},
        {write("stale.prom", FormatStatus(Snapshot(kNow - 95, {App("a", true)}))), kStatusCritical,
         "CRITICAL: snapshot written 1m 35s ago, over 80s"},
        {write("ahead.prom", FormatStatus(Snapshot(kNow + 3600, {App("a", true)}))),
         kStatusCritical, "CRITICAL: snapshot written 1h 00m ahead of the clock"},
        {write("stopped.prom",
               FormatStatus(Stopped(Snapshot(kNow - 600, {App("a", true)}), kNow - 599))),
         kStatusCritical, "CRITICAL: the daemon stopped at "},
        {dir + "missing.prom", kStatusUnknown, "cannot read " + dir + "missing.prom: "},
        {dir, kStatusUnknown, "cannot read " + dir},
        {write("garbage.prom", "<html>not this</html>\n"), kStatusUnknown,
         "is not a status snapshot"},
        {write("empty.prom", ""), kStatusUnknown, "is not a status snapshot"},
        // A foreign or damaged file: no value is taken that does not fit.
        {write("huge.prom", "zelk_status_write_time_seconds 1e300\n"), kStatusUnknown,
         "is not a status snapshot: line 1: the value of zelk_status_write_time_seconds is out "
         "of range"},
    };
    for (const Case& c : cases) {
        const StatusResult result = ReadStatus(c.path, kNow);
        EXPECT_EQ(result.exitCode, c.code) << c.path;
        const std::string& said = result.text.empty() ? result.error : result.text;
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        EXPECT_EQ(result.text.empty(), !result.error.empty()) << c.path;
    }
}

}  // namespace
}  // namespace zelkctl
