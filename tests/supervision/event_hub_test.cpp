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
        if (const auto* jump = std::get_if<daemon_event::ClockJump>(&event)) {
            seen.push_back("jump " + std::to_string(jump->fromMs) + " to " +
                           std::to_string(jump->toMs));
            return;
        }
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

// The station's clock set far ahead and back again: each jump is told once,
// before the event that found it; a clock that drifts within the bound is
// not.
TEST(EventHub, AClockJumpIsToldBeforeTheEventThatFoundIt) {
    EventHub hub(Wall, Monotonic);
    Recorder recorder;
    hub.AddConsumer(&recorder);
    g_wallMs = 1000000;
    g_monotonicMs = 0;
    hub.Report(daemon_event::Stopping{});
    g_wallMs += 3000 + kClockJumpMs;  // drifted to the bound in 3 s
    g_monotonicMs += 3000;
    hub.Report(daemon_event::Stopping{});
    g_wallMs += 400LL * 86400000;
    hub.Report(daemon_event::Stopping{});
    g_wallMs -= 400LL * 86400000 - 5000;
    g_monotonicMs += 5000;
    hub.Report(0, watchdog_event::Readable{});
    const std::string stopping = std::to_string(DaemonEvent(daemon_event::Stopping{}).index());
    const std::vector<std::string> expected = {
        "daemon " + stopping + " @1000000",
        "daemon " + stopping + " @1063000",
        "jump 1063000 to 34561063000",
        "daemon " + stopping + " @34561063000",
        "jump 34561068000 to 1068000",
        "/ " + std::to_string(WatchdogEvent(watchdog_event::Readable{}).what.index()) + " @1068000",
    };
    EXPECT_EQ(recorder.seen, expected);
}

}  // namespace
