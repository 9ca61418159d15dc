// The status snapshot: records changed by the watchdog's events, their text
// and its reading back, when writes are due, and the writer's log lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "daemon/status_record.h"
#include "daemon/status_snapshot.h"
#include "daemon/status_writer.h"
#include "log_capture.h"

namespace {

// An event as the watchdog hands it on: with the state it left.
WatchdogEvent Event(WatchdogEventKind kind, ConnectionState connection, int32_t waits,
                    int32_t failures = 0, bool installPending = false, int32_t count = 0) {
    WatchdogEvent event(kind);
    event.count = count;
    event.state.connection = connection;
    (connection == ConnectionState::kConnected ? event.state.recvTimeouts
                                               : event.state.connectTimeouts) = waits;
    event.state.recvFailures = failures;
    event.installPending = installPending;
    return event;
}

// The record shows the state each event carries, and counts what happened.
TEST(StatusRecord, ShowsTheStateEachEventLeftAndCountsWhatHappened) {
    using K = WatchdogEventKind;
    const ConnectionState connecting = ConnectionState::kConnecting;
    const ConnectionState connected = ConnectionState::kConnected;
    const WatchdogEvent events[] = {
        Event(K::kThreadStart, connecting, 0),
        Event(K::kConnectingWait, connecting, 10),
        Event(K::kTerminate, connecting, 10),
        Event(K::kDataReceived, connected, 0, 0, false, 40),
        Event(K::kHandshake, connected, 0),
        Event(K::kSilentWait, connected, 1),
        Event(K::kDataReceived, connected, 0, 0, false, 200),
        Event(K::kTrain, connected, 0),
        Event(K::kMismatch, connected, 0),
        Event(K::kUninstall, connected, 0, 0, true),
        Event(K::kReadFailed, connected, 0, 20, true),
        Event(K::kLaunch, connected, 0, 20, true),
        Event(K::kReconnect, connecting, 0),
        Event(K::kSilentWait, connected, 45),
        Event(K::kLaunch, connected, 45),
    };
    AppStatus status;
    int64_t now = 1765195200;
    for (const WatchdogEvent& event : events) {
        ApplyEvent(status, event, ++now);
        SCOPED_TRACE(static_cast<int>(event.kind));
        EXPECT_EQ(status.connected, event.state.connection == connected);
        EXPECT_EQ(status.silentWaits,
                  status.connected ? event.state.recvTimeouts : event.state.connectTimeouts);
        EXPECT_EQ(status.recvFailures, event.state.recvFailures);
        EXPECT_EQ(status.installPending, event.installPending);
    }
    EXPECT_EQ(status.handshakes, 1u);
    EXPECT_EQ(status.trains, 1u);
    EXPECT_EQ(status.bytesReceived, 240u);
    EXPECT_EQ(status.lastMessageTime, 1765195200 + 8);
    EXPECT_EQ(status.lastTrainTime, 1765195200 + 8);
    EXPECT_EQ(status.terminations, 1u);
    EXPECT_EQ(status.launches, 2u);
    EXPECT_EQ(status.reconnects, 1u);
    EXPECT_EQ(status.fileMismatches, 1u);
    EXPECT_EQ(status.uninstallCommands, 1u);
    EXPECT_EQ(status.installCommands, 0u);
}

StatusSnapshot Sample() {
    StatusSnapshot snapshot;
    snapshot.daemonStartTime = 1765195200;
    snapshot.writeTime = 1765195260;
    snapshot.appsConfigured = 1;
    AppStatus app;
    app.name = "a \"b\"\\c\nd";
    app.index = 7;
    app.endpoint = "127.0.0.1:9000";
    app.connected = true;
    app.silentWaits = 2;
    app.lastMessageTime = 1765195255;
    app.handshakes = 12;
    app.trains = 3;
    app.bytesReceived = 123456789012ull;
    app.reconnects = 4;
    snapshot.apps.push_back(app);
    return snapshot;
}

TEST(StatusText, WritesHelpTypeAndEscapedLabelsAndReadsBackTheSame) {
    const std::string text = FormatStatus(Sample());
    const std::string labels =
        "{app=\"a \\\"b\\\"\\\\c\\nd\",index=\"7\",endpoint=\"127.0.0.1:9000\"";
    for (const std::string& line : {
             std::string("# HELP zelk_daemon_start_time_seconds Start time of the daemon, in "
                         "seconds since the epoch.\n# TYPE zelk_daemon_start_time_seconds gauge\n"
                         "zelk_daemon_start_time_seconds 1765195200\n"),
             std::string("zelk_status_write_time_seconds 1765195260\n"),
             std::string("zelk_apps_configured 1\n"),
             "# TYPE zelk_app_connected gauge\nzelk_app_connected" + labels + "} 1\n",
             "# TYPE zelk_app_messages_total counter\nzelk_app_messages_total" + labels +
                 ",kind=\"handshake\"} 12\nzelk_app_messages_total" + labels +
                 ",kind=\"train\"} 3\n",
             "zelk_app_bytes_received_total" + labels + "} 123456789012\n",
         }) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nin:\n" << text;
    }
    EXPECT_EQ(text.back(), '\n');

    StatusSnapshot read;
    std::string error;
    ASSERT_TRUE(ParseStatus(text, &read, &error)) << error;
    EXPECT_EQ(FormatStatus(read), text);
}

TEST(StatusText, AnythingElseIsRefusedWithAReason) {
    StatusSnapshot read;
    std::string error;
    EXPECT_FALSE(ParseStatus("", &read, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(ParseStatus("zelk_app_connected{app=\"x 1\n", &read, &error));
    EXPECT_NE(error.find("line 1"), std::string::npos) << error;
    EXPECT_FALSE(ParseStatus("<?xml version=\"1.0\"?>\n", &read, &error));
}

TEST(StatusWriter, WritesAtMostOnceASecondAfterAChangeAndAtLeastEveryTenSeconds) {
    EXPECT_EQ(StatusWriteDelay(true, 0), 1000u);
    EXPECT_EQ(StatusWriteDelay(true, 400), 600u);
    EXPECT_EQ(StatusWriteDelay(true, 1000), 0u);
    EXPECT_EQ(StatusWriteDelay(false, 0), 10000u);
    EXPECT_EQ(StatusWriteDelay(false, 9999), 1u);
    EXPECT_EQ(StatusWriteDelay(false, 10000), 0u);
}

int g_failuresLeft = 0;
bool FlakyReplace(const std::string&, const std::string&, const std::string&, int32_t* error) {
    if (g_failuresLeft > 0) {
        --g_failuresLeft;
        *error = 5;
        return false;
    }
    return true;
}

TEST(StatusWriter, AFailureStreakIsLoggedOnceAndItsEndOnce) {
    testing_support::LogCapture log;
    StatusFileWriter writer("F", FlakyReplace);
    g_failuresLeft = 3;
    for (int i = 0; i < 5; ++i) {
        writer.Write(Sample());
    }
    g_failuresLeft = 1;
    writer.Write(Sample());
    writer.Write(Sample());
    const std::string path = writer.Path();
    const std::string notWritten = "WARNING|CDaemon::WriteStatus|5|status snapshot " + path +
                                   " not written; retrying, logged again once it works";
    const std::string again =
        "WARNING|CDaemon::WriteStatus|0|status snapshot " + path + " written again";
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{notWritten, again, notWritten, again}));
}

}  // namespace
