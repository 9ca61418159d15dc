// The event hub: every consumer hears every event, stamped with one time;
// a watchdog that stops reporting is seen as stuck.
#include "supervision/event_hub.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int64_t g_wallMs = 1000;
int64_t g_monotonicMs = 0;
int64_t Wall() {
    return g_wallMs;
}
int64_t Monotonic() {
    return g_monotonicMs;
}

struct Recorder final : EventConsumer {
    std::vector<std::string> seen;
    void OnAppEvent(const AppIdentity& app, const WatchdogEvent& event, int64_t timeMs) override {
        seen.push_back(app.name + "/" + app.endpoint + " " + std::to_string(event.what.index()) +
                       " @" + std::to_string(timeMs));
    }
    void OnDaemonEvent(const DaemonEvent& event, int64_t timeMs) override {
        seen.push_back("daemon " + std::to_string(event.index()) + " @" + std::to_string(timeMs));
    }
};

TEST(EventHub, EveryConsumerHearsEveryEventWithOneTime) {
    EventHub hub(Wall, Monotonic);
    Recorder first;
    Recorder second;
    hub.AddConsumer(&first);
    hub.AddConsumer(&second);
    AppConfig app;
    app.name = "rec";
    app.ip = "127.0.0.1";
    app.port = 9000;
    hub.AddApp(4, app);
    const WatchdogEvent handshake(watchdog_event::Handshake{1});
    const DaemonEvent stopping(daemon_event::Stopping{});
    hub.SinkFor(4).Report(handshake);
    hub.Report(stopping);
    const std::vector<std::string> expected = {
        "rec/127.0.0.1:9000 " + std::to_string(handshake.what.index()) + " @1000",
        "daemon " + std::to_string(stopping.index()) + " @1000"};
    EXPECT_EQ(first.seen, expected);
    EXPECT_EQ(second.seen, expected);
    EXPECT_EQ(hub.AppCount(), 5);
}

// A watchdog that watches and has reported nothing for too long is stuck;
// one that gave up watching, or never started, is not waited for.
TEST(EventHub, AWatchdogThatStopsReportingIsStuck) {
    EventHub hub(Wall, Monotonic);
    g_monotonicMs = 100000;
    EXPECT_TRUE(hub.WatchdogsAlive(30000));
    hub.Report(0, watchdog_event::ThreadStart{});
    hub.Report(1, watchdog_event::ThreadStart{});
    hub.Report(1, watchdog_event::BuffersMissing{});
    g_monotonicMs += 30000;
    EXPECT_TRUE(hub.WatchdogsAlive(30000));
    g_monotonicMs += 1;
    EXPECT_FALSE(hub.WatchdogsAlive(30000));
    hub.Report(0, watchdog_event::ConnectingWait{1});
    EXPECT_TRUE(hub.WatchdogsAlive(30000));
    hub.Report(0, watchdog_event::ThreadExit{});
    g_monotonicMs += 60000;
    EXPECT_TRUE(hub.WatchdogsAlive(30000));
}

}  // namespace
