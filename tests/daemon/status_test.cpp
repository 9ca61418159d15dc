// The status snapshot: records changed by the watchdog's events and the
// state they make, their text and its reading back, the board's rows and when it wakes
// the writer, the writer's files and log lines, and the supervisor's part.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../support/temp_folder.h"
#include "daemon/daemon.h"
#include "daemon/status_writer.h"
#include "log_capture.h"
#include "platform/ansi.h"
#include "platform/threads.h"
#include "supervision/status_board.h"
#include "supervision/status_record.h"
#include "supervision/status_snapshot.h"
#include "supervision/status_state.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadWholeFile;
namespace ev = watchdog_event;
using journal::AppState;

constexpr int64_t kStart = 1765195200;
constexpr ConnectionState kConnecting = ConnectionState::kConnecting;
constexpr ConnectionState kConnected = ConnectionState::kConnected;

// An event as the watchdog hands it on: with the state it left.
WatchdogEvent Event(WatchdogEvent event, ConnectionState connection = kConnecting,
                    int32_t waits = 0, int32_t failures = 0, bool installPending = false) {
    event.state.connection = connection;
    (connection == kConnected ? event.state.recvTimeouts : event.state.connectTimeouts) = waits;
    event.state.recvFailures = failures;
    event.installPending = installPending;
    return event;
}

// The record shows the state each event left, in the one state rule, and
// counts what happened.
TEST(StatusRecord, FollowsTheWatchdogThroughItsCycles) {
    struct Step {
        WatchdogEvent event;
        AppState state;  // what the record shows after the event
    };
    const Step steps[] = {
        {Event(ev::ThreadStart{}), AppState::kConnecting},
        {Event(ev::ConnectingWait{10}, kConnecting, 10), AppState::kConnecting},
        {Event(ev::Terminate{Cycle::kConnecting, 10}, kConnecting, 10), AppState::kDown},
        // A readable socket is no recovery; data is.
        {Event(ev::Readable{}, kConnected), AppState::kDown},
        {Event(ev::DataReceived{40}, kConnected), AppState::kConnected},
        {Event(ev::Handshake{1}, kConnected), AppState::kConnected},
        {Event(ev::SilentWait{10}, kConnected, 10), AppState::kConnected},
        {Event(ev::SilentWait{11}, kConnected, 11), AppState::kSilent},
        {Event(ev::DataReceived{200}, kConnected), AppState::kConnected},
        {Event(ev::Train{}, kConnected), AppState::kConnected},
        {Event(ev::Mismatch{}, kConnected), AppState::kConnected},
        {Event(ev::Uninstall{}, kConnected, 0, 0, true), AppState::kConnected},
        {Event(ev::ReadFailed{1}, kConnected, 0, 1, true), AppState::kFailing},
        {Event(ev::Terminate{Cycle::kFailing, 11}, kConnected, 0, 11, true), AppState::kDown},
        {Event(ev::Terminated{Cycle::kFailing, 1, 1}, kConnected, 0, 11, true), AppState::kDown},
        {Event(ev::Launch{Cycle::kFailing, 20}, kConnected, 0, 20, true), AppState::kDown},
        // The old connection's failed reads terminate again: no new restart.
        {Event(ev::Terminate{Cycle::kFailing, 11}, kConnected, 0, 11), AppState::kDown},
        // A reconnection cancels the pending install; down lasts.
        {Event(ev::Reconnect{Cycle::kSilent, 60}, kConnecting), AppState::kDown},
        {Event(ev::DataReceived{1}, kConnected), AppState::kConnected},
        {Event(ev::SilentWait{45}, kConnected, 45), AppState::kSilent},
        {Event(ev::Launch{Cycle::kSilent, 45}, kConnected, 45), AppState::kSilent},
        // An operator's restart, which no row makes, counts as the rows' do.
        {Event(ev::Terminated{Cycle::kNone, 1, 1}, kConnecting), AppState::kDown},
        {Event(ev::Launched{Cycle::kNone, true, 0, 0, true, "app"}, kConnecting), AppState::kDown},
        // The thread's exit keeps what the last snapshot shows.
        {Event(ev::ThreadExit{}, kConnecting), AppState::kDown},
        {Event(ev::ThreadNotStarted{}), AppState::kNotWatched},
    };
    AppRecord record;
    int64_t now = kStart;
    for (const Step& step : steps) {
        ApplyEvent(record, step.event, ++now);
        SCOPED_TRACE(step.event.what.index());
        EXPECT_EQ(StateOf(record.status), step.state);
        EXPECT_EQ(record.status.connected, step.event.state.connection == kConnected);
        EXPECT_EQ(record.status.silentWaits, record.status.connected
                                                 ? step.event.state.recvTimeouts
                                                 : step.event.state.connectTimeouts);
        EXPECT_EQ(record.status.recvFailures, step.event.state.recvFailures);
        EXPECT_EQ(record.status.installPending, step.event.installPending);
    }
    const AppStatus& status = record.status;
    EXPECT_EQ(status.handshakes, 1u);
    EXPECT_EQ(status.trains, 1u);
    EXPECT_EQ(status.bytesReceived, 241u);
    EXPECT_EQ(status.lastMessageTime, kStart + 10);
    EXPECT_EQ(status.lastTrainTime, kStart + 10);
    EXPECT_EQ(status.terminations, 4u);
    EXPECT_EQ(status.restarts, 3u);
    EXPECT_EQ(status.processesTerminated, 2u);
    EXPECT_EQ(status.launches, 3u);
    EXPECT_EQ(status.reconnects, 1u);
    EXPECT_EQ(status.fileMismatches, 1u);
    EXPECT_EQ(status.uninstallCommands, 1u);
    EXPECT_EQ(status.installCommands, 0u);
    EXPECT_EQ(StatusAt(record, now).terminationsLastHour, 4);
    EXPECT_EQ(StatusAt(record, now).restartsLastHour, 3);
}

TEST(StatusRecord, CountsTheTerminationsOfTheLastHour) {
    AppRecord record;
    for (int64_t at : {kStart, kStart + 100, kStart + 3000}) {
        ApplyEvent(record, Event(ev::Terminate{Cycle::kSilent, 30}, kConnected, 30), at);
    }
    EXPECT_EQ(StatusAt(record, kStart + 3000).terminationsLastHour, 3);
    // No data came between them: one down period, one restart.
    EXPECT_EQ(StatusAt(record, kStart + 3000).restartsLastHour, 1);
    EXPECT_EQ(StatusAt(record, kStart + 3650).terminationsLastHour, 2);
    EXPECT_EQ(StatusAt(record, kStart + 7000).terminationsLastHour, 0);
    // The clock set back a little keeps them; by a day, it drops them.
    EXPECT_EQ(StatusAt(record, kStart - 60).terminationsLastHour, 3);
    EXPECT_EQ(StatusAt(record, kStart - 86400).terminationsLastHour, 0);

    // More than the ring holds saturates at its size.
    AppRecord storm;
    for (int i = 0; i < 200; ++i) {
        ApplyEvent(storm, Event(ev::Terminate{Cycle::kFailing, 11}, kConnected, 0, 11), kStart + i);
    }
    EXPECT_EQ(StatusAt(storm, kStart + 200).terminationsLastHour,
              static_cast<int32_t>(RecentTimes::kCapacity));
    EXPECT_EQ(storm.status.terminations, 200u);
}

StatusSnapshot Sample() {
    StatusSnapshot snapshot;
    snapshot.version = "1.2.3";
    snapshot.writer = WriterProcess{"post-\"7\"", 4242, 18446744073709551615ull};
    snapshot.daemonStartTime = kStart;
    snapshot.daemonStopTime = kStart + 61;
    snapshot.writeTime = kStart + 60;
    snapshot.appsConfigured = 1;
    snapshot.configLoaded = true;
    snapshot.configPitfalls = 4;
    AppStatus app;
    app.name = "a \"b\"\\c\nd";
    app.index = 7;
    app.endpoint = "127.0.0.1:9000";
    app.down = true;
    app.connected = true;
    app.silentWaits = 2;
    app.lastMessageTime = kStart + 55;
    app.handshakes = 12;
    app.trains = 3;
    app.bytesReceived = 123456789012ull;
    app.terminations = 5;
    app.processesTerminated = 2;
    app.terminationsLastHour = 3;
    app.restarts = 4;
    app.restartsLastHour = 2;
    app.reconnects = 4;
    app.maintenance = true;
    app.maintenanceUntil = kStart + 3600;
    app.maintenanceBy = "STATION\\tech";
    app.maintenanceReason = "new \"rec\"\nbuild";
    snapshot.controlRefused = 3;
    snapshot.apps.push_back(app);
    return snapshot;
}

TEST(StatusText, WritesHelpTypeAndEscapedLabelsAndReadsBackTheSame) {
    const std::string text = FormatStatus(Sample());
    const std::string labels =
        "{app=\"a \\\"b\\\"\\\\c\\nd\",index=\"7\",endpoint=\"127.0.0.1:9000\"";
    for (const std::string& line : {
             std::string("# TYPE zelk_build_info gauge\nzelk_build_info{version=\"1.2.3\"} 1\n"),
             std::string("zelk_daemon_process{host=\"post-\\\"7\\\"\",pid=\"4242\","
                         "start=\"18446744073709551615\"} 1\n"),
             std::string("# TYPE zelk_daemon_start_time_seconds gauge\n"
                         "zelk_daemon_start_time_seconds 1765195200\n"),
             std::string("zelk_daemon_stop_time_seconds 1765195261\n"),
             std::string("zelk_status_write_time_seconds 1765195260\n"),
             std::string("zelk_apps_configured 1\n"),
             std::string("zelk_config_loaded 1\n"),
             std::string("zelk_config_pitfalls 4\n"),
             "# TYPE zelk_app_state gauge\nzelk_app_state" + labels + ",state=\"connected\"} 0\n",
             "zelk_app_state" + labels + ",state=\"down\"} 1\nzelk_app_state" + labels +
                 ",state=\"not_watched\"} 0\n",
             "# TYPE zelk_app_connected gauge\nzelk_app_connected" + labels + "} 1\n",
             "# TYPE zelk_app_messages_total counter\nzelk_app_messages_total" + labels +
                 ",kind=\"handshake\"} 12\nzelk_app_messages_total" + labels +
                 ",kind=\"train\"} 3\n",
             "zelk_app_terminations_total" + labels + "} 5\n",
             "zelk_app_termination_attempts_total" + labels + "} 5\n",
             "zelk_app_processes_terminated_total" + labels + "} 2\n",
             "zelk_app_terminations_last_hour" + labels + "} 3\n",
             "zelk_app_restarts_total" + labels + "} 4\n",
             "zelk_app_restarts_last_hour" + labels + "} 2\n",
             std::string("# TYPE zelk_control_refused_total counter\n"
                         "zelk_control_refused_total 3\n"),
             "zelk_app_maintenance_until_time_seconds" + labels + "} 1765198800\n",
             "zelk_app_maintenance_info" + labels +
                 ",by=\"STATION\\\\tech\",reason=\"new \\\"rec\\\"\\nbuild\"} 1\n",
         }) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nin:\n" << text;
    }
    EXPECT_EQ(text.back(), '\n');

    StatusSnapshot read;
    std::string error;
    ASSERT_TRUE(ParseStatus(text, &read, &error)) << error;
    EXPECT_EQ(FormatStatus(read), text);
    // Only an application in maintenance has the sample that names who and why.
    StatusSnapshot resumed = Sample();
    resumed.apps[0].maintenance = false;
    EXPECT_EQ(FormatStatus(resumed).find("zelk_app_maintenance_info{"), std::string::npos);
}

TEST(StatusText, RefusesWhatIsNoSnapshotOfOursWithAReason) {
    const std::string time = "zelk_status_write_time_seconds 1765195260\n";
    const std::string app = "zelk_app_recv_failures{app=\"a\",index=\"";
    struct Case {
        std::string text;
        std::string said;
    };
    const Case cases[] = {
        {"", "no zelk_status_write_time_seconds sample"},
        {"zelk_app_connected{app=\"x 1\n", "line 1 is not a metric sample"},
        {"<?xml version=\"1.0\"?>\n", "line 1 is not a metric sample"},
        {"zelk_status_write_time_seconds NaN\n", "line 1: the value of"},
        {"zelk_status_write_time_seconds +Inf\n", "out of range"},
        {"zelk_status_write_time_seconds -Inf\n", "out of range"},
        {"zelk_status_write_time_seconds 1e300\n", "out of range"},
        {"zelk_status_write_time_seconds 253402300800\n", "out of range"},
        {"zelk_status_write_time_seconds -1\n", "out of range"},
        {time + "zelk_daemon_start_time_seconds 1.5\n", "line 2: the value of"},
        {time + "zelk_apps_configured 21\n", "out of range"},
        {time + "zelk_build_info{version=\"1\"} 2\n", "out of range"},
        {time + app + "0\"} 2147483648\n", "out of range"},
        {time + app + "0\"} nan\n", "out of range"},
        {time + "zelk_app_bytes_received_total{index=\"0\"} 1e19\n", "out of range"},
        {time + app + "20\"} 1\n", "line 2: the index label is not a number from 0 to 19"},
        {time + app + "-1\"} 1\n", "index label"},
        {time + app + "07\"} 1\n", "index label"},
        {time + app + "99999999999\"} 1\n", "index label"},
        {time + app + "\"} 1\n", "index label"},
        {time + "zelk_app_connected 1\n", "index label"},
        {time + "zelk_daemon_process{host=\"h\",pid=\"4294967296\",start=\"1\"} 1\n",
         "line 2: the process of zelk_daemon_process is not a number"},
        {time + "zelk_daemon_process{host=\"h\",pid=\"12\",start=\"-1\"} 1\n", "the process"},
        {time + "zelk_daemon_process{host=\"h\",start=\"1\"} 1\n", "the process"},
    };
    for (const Case& c : cases) {
        StatusSnapshot read;
        std::string error;
        EXPECT_FALSE(ParseStatus(c.text, &read, &error)) << c.text;
        EXPECT_NE(error.find(c.said), std::string::npos) << c.text << ": " << error;
    }
    // Metrics of others are passed over, whatever their values.
    StatusSnapshot read;
    std::string error;
    EXPECT_TRUE(ParseStatus(time + "node_load1 NaN\nother{index=\"x\"} -Inf\n", &read, &error))
        << error;
}

AppConfig Config(const std::string& name, int port) {
    AppConfig app;
    app.name = name;
    app.ip = "127.0.0.1";
    app.port = port;
    return app;
}

int64_t g_now = kStart;
int64_t FakeNow() {
    return g_now;
}

TEST(StatusBoard, RowsAreKeyedByIndexAndAThreadThatCouldNotStartIsNotWatched) {
    g_now = kStart;
    StatusBoard board(kStart, FakeNow);
    // The record of a thread that could not start goes back to the heap, and
    // the next application's record often takes its place: one object here.
    AppConfig record = Config("first", 7001);
    EXPECT_EQ(board.Add(record, 0), 0);
    board.Apply(0, Event(ev::ThreadNotStarted{}));
    record = Config("second", 7002);
    EXPECT_EQ(board.Add(record, 1), 1);
    board.Apply(1, Event(ev::DataReceived{5}, kConnected));

    const StatusSnapshot snapshot = board.Snapshot();
    ASSERT_EQ(snapshot.apps.size(), 2u);
    EXPECT_EQ(snapshot.appsConfigured, 2);
    EXPECT_EQ(snapshot.apps[0].name, "first");
    EXPECT_EQ(StateOf(snapshot.apps[0]), AppState::kNotWatched);
    EXPECT_EQ(snapshot.apps[1].name, "second");
    EXPECT_EQ(snapshot.apps[1].endpoint, "127.0.0.1:7002");
    EXPECT_EQ(StateOf(snapshot.apps[1]), AppState::kConnected);
    EXPECT_EQ(snapshot.apps[1].bytesReceived, 5u);
}

TEST(StatusBoard, WakesTheWriterForAChangeOfStateOnly) {
    g_now = kStart;
    StatusBoard board(kStart, FakeNow);
    AppConfig app = Config("a", 7001);
    board.Add(app, 0);
    EXPECT_TRUE(board.Wait(0, true)) << "a new row";
    struct Step {
        WatchdogEvent event;
        bool wakes;
    };
    const Step steps[] = {
        {Event(ev::ThreadStart{}), false},
        {Event(ev::ConnectingWait{1}, kConnecting, 1), false},
        {Event(ev::Readable{}, kConnected), true},  // connecting -> connected
        {Event(ev::DataReceived{30}, kConnected), false},
        {Event(ev::Handshake{1}, kConnected), false},
        {Event(ev::SilentWait{10}, kConnected, 10), false},
        {Event(ev::SilentWait{11}, kConnected, 11), true},  // silent past the warning
        {Event(ev::SilentWait{29}, kConnected, 29), false},
        {Event(ev::Terminate{Cycle::kSilent, 30}, kConnected, 30), true},  // down
        {Event(ev::Launch{Cycle::kSilent, 45}, kConnected, 45), true},     // launched
        {Event(ev::Readable{}, kConnected), false},       // the silence ends; still down
        {Event(ev::DataReceived{30}, kConnected), true},  // up again
        {Event(ev::Train{}, kConnected), false},
        {Event(ev::Uninstall{}, kConnected, 0, 0, true), true},
        {Event(ev::Install{}, kConnected), true},
        {Event(ev::ThreadNotStarted{}, kConnected), true},
    };
    for (const Step& step : steps) {
        board.Apply(0, step.event);
        EXPECT_EQ(board.Wait(0, true), step.wakes) << step.event.what.index();
    }
}

TEST(StatusBoard, ControlRequestsPauseAndResumeARowAndRefusalsAreCounted) {
    g_now = kStart;
    StatusBoard board(kStart, FakeNow);
    AppConfig app = Config("a", 7001);
    board.Add(app, 0);
    board.Wait(0, true);
    daemon_event::Control control;
    control.by = "tech";
    control.action = "pause_kept";
    control.index = 0;
    control.reason = "update";
    control.untilMs = (kStart + 600) * 1000 + 999;
    control.granted = true;
    board.ApplyControl(control);
    EXPECT_TRUE(board.Wait(0, true));
    AppStatus status = board.Snapshot().apps[0];
    EXPECT_TRUE(status.maintenance);
    EXPECT_EQ(status.maintenanceUntil, kStart + 600);
    EXPECT_EQ(status.maintenanceBy, "tech");
    EXPECT_EQ(status.maintenanceReason, "update");

    // A refusal changes no row, whatever it names.
    control.action = "resume";
    control.granted = false;
    board.ApplyControl(control);
    control.index = -1;
    board.ApplyControl(control);
    EXPECT_EQ(board.Snapshot().controlRefused, 2u);
    EXPECT_TRUE(board.Snapshot().apps[0].maintenance);

    // A restart leaves the maintenance alone; the pause's end takes it away.
    control.granted = true;
    control.index = 0;
    control.action = "restart";
    board.ApplyControl(control);
    EXPECT_TRUE(board.Snapshot().apps[0].maintenance);
    control.action = "pause_ended";
    board.ApplyControl(control);
    status = board.Snapshot().apps[0];
    EXPECT_FALSE(status.maintenance);
    EXPECT_EQ(status.maintenanceUntil, 0);
    EXPECT_EQ(status.maintenanceBy, "");
}

TEST(StatusBoard, TheLastSnapshotCarriesTheStopAndTheConfiguration) {
    g_now = kStart + 10;
    StatusBoard board(kStart, FakeNow);
    board.SetConfig(true, 2);
    StatusSnapshot running = board.Snapshot();
    EXPECT_EQ(running.daemonStopTime, 0);
    EXPECT_TRUE(running.configLoaded);
    EXPECT_EQ(running.configPitfalls, 2);
    EXPECT_FALSE(running.version.empty());
    board.RequestStop();
    g_now = kStart + 20;
    board.RequestStop();
    EXPECT_EQ(board.Snapshot().daemonStopTime, kStart + 10);
    EXPECT_EQ(board.Snapshot().writeTime, kStart + 20);
}

// Application names come from config.xml in the ANSI code page; the
// collectors' parser takes UTF-8 only.
TEST(StatusLabels, NamesAndEndpointsBecomeUtf8) {
    struct Case {
        std::string ansi;
        std::string utf8;
    };
    std::vector<Case> cases = {{"plain.exe", "plain.exe"}};
    switch (platform::AnsiCodePage()) {
        case 936:
            cases.push_back({"\xD6\xD0\xCE\xC4.exe", "\xE4\xB8\xAD\xE6\x96\x87.exe"});
            break;
        case 1252:
            cases.push_back({"caf\xE9.exe", "caf\xC3\xA9.exe"});
            break;
        case 65001:
            cases.push_back({"caf\xC3\xA9.exe", "caf\xC3\xA9.exe"});
            cases.push_back({"bad\xFF.exe", "bad\xEF\xBF\xBD.exe"});
            break;
        default:
            break;
    }
    StatusBoard board(kStart, FakeNow);
    std::vector<AppConfig> apps;
    for (const Case& c : cases) {
        apps.push_back(Config(c.ansi, 7000));
        apps.back().ip = c.ansi;
    }
    for (std::size_t i = 0; i < apps.size(); ++i) {
        board.Add(apps[i], static_cast<int>(i));
    }
    const StatusSnapshot snapshot = board.Snapshot();
    ASSERT_EQ(snapshot.apps.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(snapshot.apps[i].name, cases[i].utf8);
        EXPECT_EQ(snapshot.apps[i].endpoint, cases[i].utf8 + ":7000");
    }
}

TEST(StatusWriter, WritesWithinASecondOfAChangeOfStateElseEveryTwentySeconds) {
    EXPECT_EQ(StatusWriteDelay(true, 0), 1000u);
    EXPECT_EQ(StatusWriteDelay(true, 400), 600u);
    EXPECT_EQ(StatusWriteDelay(true, 1000), 0u);
    EXPECT_EQ(StatusWriteDelay(false, 0), 20000u);
    EXPECT_EQ(StatusWriteDelay(false, 19999), 1u);
    EXPECT_EQ(StatusWriteDelay(false, 20000), 0u);
}

// Fails the first g_failuresLeft writes; g_taken writes before them find
// their name taken.
int g_failuresLeft = 0;
int g_taken = 0;
std::vector<std::string> g_names;
platform::NewFileResult FlakyWrite(const std::string& path, const std::string&, int32_t* error) {
    g_names.push_back(path);
    if (g_taken > 0) {
        --g_taken;
        return platform::NewFileResult::kNameTaken;
    }
    if (g_failuresLeft > 0) {
        --g_failuresLeft;
        *error = 5;
        return platform::NewFileResult::kFailed;
    }
    return platform::NewFileResult::kWritten;
}
bool Renamed(const std::string&, const std::string&, int32_t*) {
    return true;
}

TEST(StatusWriter, AFailureStreakIsLoggedOnceAndItsEndOnce) {
    testing_support::LogCapture log;
    StatusFileWriter writer("F", StatusFileOps{FlakyWrite, Renamed});
    g_failuresLeft = 3;
    for (int i = 0; i < 5; ++i) {
        writer.Write(Sample());
    }
    g_failuresLeft = 1;
    writer.Write(Sample());
    g_names.clear();
    g_taken = 2;
    EXPECT_TRUE(writer.Write(Sample())) << "a taken name is passed over";
    ASSERT_EQ(g_names.size(), 3u);
    EXPECT_NE(g_names[0], g_names[1]);
    EXPECT_EQ(g_names[2].find(std::string("F") + platform::kPathSeparator + "zelk.prom.tmp-"), 0u)
        << g_names[2];
    g_taken = 100;
    EXPECT_FALSE(writer.Write(Sample())) << "so many taken names are planted";
    g_taken = 0;

    const std::string path = writer.Path();
    const std::string notWritten = "WARNING|StatusFileWriter::Write|5|status snapshot " + path +
                                   " not written; retrying, logged again once it works";
    const std::string again =
        "WARNING|StatusFileWriter::Write|0|status snapshot " + path + " written again";
    const std::vector<std::string> lines = log.Lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4),
              (std::vector<std::string>{notWritten, again, notWritten, again}));
}

TEST(StatusWriter, MakesItsFolderCleansUpAndNeverFollowsAPlantedLink) {
    testing_support::TempFolder folder;
    const fs::path status = folder.path() / "status";
    const fs::path victim = folder.path() / "victim";
    std::ofstream(victim, std::ios::binary) << "keep";

    StatusFileWriter writer(status.string());
    EXPECT_TRUE(fs::is_directory(status)) << "made at once, before the first write";
    // What earlier runs left: the old fixed temporary name, planted as a link
    // by anyone who may write the folder, and a temporary of a fresh name.
    std::error_code linkError;
    fs::create_symlink(victim, status / "zelk.prom.tmp", linkError);
    std::ofstream(status / "zelk.prom.tmp-00000000deadbeef") << "half";
    std::ofstream(status / "other.prom") << "# not ours\n";

    ASSERT_TRUE(writer.Write(Sample()));
    ASSERT_TRUE(writer.Write(Sample()));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(status)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"other.prom", "zelk.prom"}));
    EXPECT_EQ(ReadWholeFile(status / "zelk.prom"), FormatStatus(Sample()));
    EXPECT_EQ(ReadWholeFile(victim), "keep");
}

// Fails the start of the first watchdog thread only.
int g_starts = 0;
platform::ThreadHandle FailFirstStart(platform::ThreadEntry entry, void* argument) {
    return g_starts++ == 0 ? nullptr : platform::StartThread(entry, argument);
}

TEST(StatusDaemon, ASnapshotOfEveryRowAsTheSupervisorSawIt) {
    testing_support::LogCapture log;
    testing_support::TempFolder folder;
    std::ofstream(folder.path() / "config.xml")
        << "<config><status folder=\"status\"/>\n"
           "<app name=\"never-started\" path=\"no-such-program\"><socket ip=\"127.0.0.1\" "
           "port=\"1\"/></app>\n"
           "<app name=\"watched\" path=\"no-such-program\"><socket ip=\"127.0.0.1\" "
           "port=\"2\"/></app>\n</config>\n";
    const CDaemon::ThreadStarter saved = CDaemon::SetThreadStarter(FailFirstStart);
    g_starts = 0;
    StatusSnapshot last;
    {
        CDaemon daemon;
        daemon.Init(folder.WithSeparator());
        DaemonTimings quick;
        quick.readWaitMs = 20;
        quick.threadStartPauseMs = 0;
        daemon.SetTimings(quick);
        EXPECT_TRUE(daemon.Start());
        daemon.Stop();
        std::string error;
        ASSERT_TRUE(
            ParseStatus(ReadWholeFile(folder.path() / "status" / "zelk.prom"), &last, &error))
            << error;
    }
    CDaemon::SetThreadStarter(saved);

    EXPECT_NE(last.daemonStopTime, 0);
    EXPECT_TRUE(last.configLoaded);
    // Both programs are missing.
    EXPECT_EQ(last.configPitfalls, 2);
    ASSERT_EQ(last.apps.size(), 2u);
    EXPECT_EQ(last.apps[0].name, "never-started");
    EXPECT_EQ(StateOf(last.apps[0]), AppState::kNotWatched);
    EXPECT_EQ(last.apps[1].name, "watched");
    EXPECT_EQ(StateOf(last.apps[1]), AppState::kConnecting);
}

}  // namespace
