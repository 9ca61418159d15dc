#include <gtest/gtest.h>

#include <fstream>

#include "../support/temp_folder.h"
#include "daemon/status_snapshot.h"
#include "zelkctl/commands.h"
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

StatusSnapshot Snapshot(int64_t writeTime, std::vector<AppStatus> apps) {
    StatusSnapshot snapshot;
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

TEST(ZelkctlStatus, StateInWords) {
    struct Case {
        AppStatus app;
        std::string state;
        bool connected;
    };
    const Case cases[] = {
        {App("a", false), "connecting, 0 waits", false},
        {App("a", false, 1), "connecting, 1 wait", false},
        {App("a", true, 0, 3), "failing, 3 reads", false},
        {App("a", true, 5, 1), "failing, 1 read", false},
        {App("a", true, 7), "silent, 7 waits", true},
        {App("a", true), "connected", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StateText(c.app), c.state);
        EXPECT_EQ(CountsAsConnected(c.app), c.connected) << c.state;
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

TEST(ZelkctlStatus, ExitCodeStaleOverNotConnectedOverOk) {
    struct Case {
        StatusSnapshot snapshot;
        int code;
    };
    const Case cases[] = {
        {Snapshot(kNow, {App("a", true), App("b", true, 12)}), kStatusOk},
        {Snapshot(kNow - 30, {App("a", true)}), kStatusOk},
        {Snapshot(kNow - 31, {App("a", true)}), kStatusStale},
        {Snapshot(kNow + 31, {App("a", true)}), kStatusStale},  // the clock was set back
        {Snapshot(kNow, {App("a", true), App("b", true, 0, 1)}), kStatusNotConnected},
        {Snapshot(kNow, {App("a", false), App("b", true)}), kStatusNotConnected},
        {Snapshot(kNow - 31, {App("a", false)}), kStatusStale},
        {Snapshot(kNow, {}), kStatusOk},
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
    longName.terminations = 1;
    longName.launches = 2;
    longName.reconnects = 3;
    AppStatus pending = App("x", false, 4);
    pending.installPending = true;
    const std::string report =
        StatusReport(Snapshot(kNow - 1, {longName, pending}), "/s/zelk.prom", kNow);
    const std::vector<std::string> lines = testing_support::SplitLines(report);
    ASSERT_EQ(lines.size(), 6u) << report;
    EXPECT_EQ(lines[0], "WARNING: 1 of 2 applications not connected (x); snapshot written 1s ago");
    EXPECT_EQ(lines[1], "snapshot /s/zelk.prom, daemon up 1m 40s");
    const std::size_t state = lines[3].find("STATE");
    const std::size_t last = lines[3].find("LAST MESSAGE");
    EXPECT_EQ(lines[4].substr(state, 10), "connected ");
    EXPECT_EQ(lines[5].substr(state, 19), "connecting, 4 waits");
    EXPECT_EQ(lines[4].substr(last, 6), "5s ago");
    EXPECT_EQ(lines[5].substr(last, 5), "never");
    EXPECT_NE(lines[4].find("  12  "), std::string::npos) << lines[4];
    EXPECT_NE(lines[4].find("  1/2/3  "), std::string::npos) << lines[4];
    EXPECT_EQ(lines[5].substr(lines[5].size() - 7), "pending");
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
        {write("down.prom", FormatStatus(Snapshot(kNow, {App("a", true), App("b", false, 9)}))),
         kStatusNotConnected, "WARNING: 1 of 2 applications not connected (b)"},
        {write("failing.prom", FormatStatus(Snapshot(kNow, {App("a", true, 0, 2)}))),
         kStatusNotConnected, "failing, 2 reads"},
        {write("stale.prom", FormatStatus(Snapshot(kNow - 45, {App("a", true)}))), kStatusStale,
         "CRITICAL: snapshot written 45s ago, over 30s"},
        {write("ahead.prom", FormatStatus(Snapshot(kNow + 3600, {App("a", true)}))), kStatusStale,
         "CRITICAL: snapshot written 1h 00m ahead of the clock"},
        {dir + "missing.prom", kStatusUnknown, "cannot read " + dir + "missing.prom: "},
        {dir, kStatusUnknown, "cannot read " + dir},
        {write("garbage.prom", "<html>not this</html>\n"), kStatusUnknown,
         "is not a status snapshot"},
        {write("empty.prom", ""), kStatusUnknown, "is not a status snapshot"},
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
