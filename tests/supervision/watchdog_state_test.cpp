#include "supervision/watchdog_state.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// A note as "kind:count".
std::string NoteText(const CountingNote& note) {
    namespace ev = watchdog_event;
    const auto text = [](const char* kind, int32_t count) {
        return std::string(kind) + ":" + std::to_string(count) + " ";
    };
    return std::visit(Overloaded{
                          [&](const ev::ConnectingWait& n) { return text("connecting", n.waits); },
                          [&](const ev::SilentWait& n) { return text("silent", n.waits); },
                          [&](const ev::ReadFailed& n) { return text("failure", n.failures); },
                          [&](const ev::WaitFailed& n) { return text("waitFailed", n.failures); },
                          [&](const ev::Connected& n) { return text("connected", n.waits); },
                          [&](const ev::Resumed& n) {
                              return text(
                                  n.after == Cycle::kSilent ? "resumed-silent" : "resumed-failing",
                                  n.count);
                          },
                          [&](const ev::Terminate& n) { return text("terminate", n.count); },
                          [&](const ev::Launch& n) { return text("launch", n.count); },
                          [&](const ev::Reconnect& n) { return text("reconnect", n.count); },
                      },
                      note);
}

// One step's actions as a compact text, so that whole runs compare at once:
// notes as "kind:count", then the effects.
std::string Describe(const WatchdogActions& a) {
    std::string text;
    for (int i = 0; i < a.noteCount; ++i) {
        text += NoteText(a.notes[i]);
    }
    if (a.sleepAfterFailedRead)
        text += "[sleep]";
    if (a.terminate != Cycle::kNone)
        text += "[terminate]";
    if (a.launch != Cycle::kNone)
        text += "[launch]";
    if (a.handleData)
        text += "[data]";
    if (a.reconnect)
        text += "[reconnect]";
    if (a.pauseAfterFailedWait)
        text += "[pause]";
    return text;
}

// Feeds `n` outcomes and returns the steps that did more than note their
// count ("<note>:<i> ", and "[sleep]" after a failed read), keyed by the
// step's 1-based number.
std::vector<std::pair<int, std::string>> Unusual(WatchdogState* state, PassOutcome outcome, int n,
                                                 const std::string& note) {
    const std::string effects = outcome == PassOutcome::kReadFailed ? "[sleep]" : "";
    std::vector<std::pair<int, std::string>> unusual;
    for (int i = 1; i <= n; ++i) {
        const std::string step = Describe(Step(state, outcome));
        if (step != note + std::to_string(i) + " " + effects) {
            unusual.emplace_back(i, step);
        }
    }
    return unusual;
}

using Steps = std::vector<std::pair<int, std::string>>;

// Each cycle's thresholds, and the fresh connection that follows the last.
TEST(WatchdogState, EachCycleActsAtItsRowsAndStartsAnewAfterReconnecting) {
    {
        WatchdogState state = NewConnectionState();
        EXPECT_EQ(Unusual(&state, PassOutcome::kTimeout, 30, "connecting:"),
                  (Steps{{10, "connecting:10 terminate:10 [terminate]"},
                         {20, "connecting:20 launch:20 [launch]"},
                         {30, "connecting:30 reconnect:30 [reconnect]"}}));
        EXPECT_EQ(Describe(Step(&state, PassOutcome::kTimeout)), "connecting:1 ");
    }
    {
        WatchdogState state = NewConnectionState();
        EXPECT_EQ(Describe(Step(&state, PassOutcome::kReadData)), "connected:0 [data]");
        EXPECT_EQ(Unusual(&state, PassOutcome::kTimeout, 60, "silent:"),
                  (Steps{{30, "silent:30 terminate:30 [terminate]"},
                         {45, "silent:45 launch:45 [launch]"},
                         {60, "silent:60 reconnect:60 [reconnect]"}}));
        // The replacement socket is connecting again: time-outs count as such.
        EXPECT_EQ(state.connection, ConnectionState::kConnecting);
        EXPECT_EQ(Describe(Step(&state, PassOutcome::kTimeout)), "connecting:1 ");
    }
    {
        // The close comes with the 11th failure in a row, the launch with the
        // 20th; the socket is replaced only at the 31st.
        WatchdogState state = NewConnectionState();
        EXPECT_EQ(Unusual(&state, PassOutcome::kReadFailed, 31, "failure:"),
                  (Steps{{11, "failure:11 terminate:11 [sleep][terminate]"},
                         {20, "failure:20 launch:20 [sleep][launch]"},
                         {31, "failure:31 reconnect:31 [sleep][reconnect]"}}));
        EXPECT_EQ(state.recvFailures, 0);
        EXPECT_EQ(state.connection, ConnectionState::kConnecting);
    }
}

// A socket that cannot be waited on is replaced after one connect cycle of
// failed waits; one that could not be created after the one wait sat out.
TEST(WatchdogState, FailedWaitsAndAMissingSocketLeadToANewSocket) {
    WatchdogState state = NewConnectionState();
    Step(&state, PassOutcome::kReadData);
    Step(&state, PassOutcome::kTimeout);
    Step(&state, PassOutcome::kReadFailed);
    const WatchdogState before = state;
    for (int i = 1; i < 30; ++i) {
        EXPECT_EQ(Describe(Step(&state, PassOutcome::kWaitFailed)),
                  "waitFailed:" + std::to_string(i) + " [pause]");
    }
    // A failed wait changes no other count and no state.
    EXPECT_EQ(state.connection, before.connection);
    EXPECT_EQ(state.recvTimeouts, before.recvTimeouts);
    EXPECT_EQ(state.recvFailures, before.recvFailures);
    // A wait that works ends the run.
    Step(&state, PassOutcome::kTimeout);
    EXPECT_EQ(Describe(Step(&state, PassOutcome::kWaitFailed)), "waitFailed:1 [pause]");
    for (int i = 2; i < 30; ++i) {
        Step(&state, PassOutcome::kWaitFailed);
    }
    EXPECT_EQ(Describe(Step(&state, PassOutcome::kWaitFailed)),
              "waitFailed:30 reconnect:30 [reconnect][pause]");

    WatchdogState missing = NewConnectionState(false);
    EXPECT_TRUE(missing.socketMissing);
    EXPECT_EQ(Describe(Step(&missing, PassOutcome::kNoSocket)), "reconnect:1 [reconnect]");
}

TEST(WatchdogState, ReadableResetsBothTimeoutCountsAndTellsWhatEnded) {
    WatchdogState state = NewConnectionState();
    Unusual(&state, PassOutcome::kTimeout, 9, "connecting:");
    // The first data of a connection says how long it took.
    EXPECT_EQ(Describe(Step(&state, PassOutcome::kReadData)), "connected:9 [data]");
    EXPECT_EQ(state.connectTimeouts, 0);
    Unusual(&state, PassOutcome::kTimeout, 29, "silent:");
    EXPECT_EQ(Describe(Step(&state, PassOutcome::kReadData)), "resumed-silent:29 [data]");
    EXPECT_TRUE(Unusual(&state, PassOutcome::kTimeout, 29, "silent:").empty());
    // A failed read also counts as readable: silence ends, failures begin.
    EXPECT_EQ(Describe(Step(&state, PassOutcome::kReadFailed)), "failure:1 [sleep]");
    EXPECT_EQ(state.recvTimeouts, 0);
    Unusual(&state, PassOutcome::kReadFailed, 9, "failure:");
    EXPECT_EQ(Describe(Step(&state, PassOutcome::kReadData)), "resumed-failing:10 [data]");
    EXPECT_EQ(state.recvFailures, 0);
    // The next failure counts 1 again, and the 11th after it is the one that closes.
    Unusual(&state, PassOutcome::kReadFailed, 10, "failure:");
    EXPECT_EQ(Describe(Step(&state, PassOutcome::kReadFailed)),
              "failure:11 terminate:11 [sleep][terminate]");
}

TEST(WatchdogState, TimeoutsBetweenFailuresDoNotResetTheFailureCount) {
    // Only data resets the failure count; silent waits leave it alone.
    WatchdogState state = NewConnectionState();
    Unusual(&state, PassOutcome::kReadFailed, 10, "failure:");
    EXPECT_EQ(Unusual(&state, PassOutcome::kTimeout, 3, "silent:"), Steps{});
    EXPECT_EQ(Describe(Step(&state, PassOutcome::kReadFailed)),
              "failure:11 terminate:11 [sleep][terminate]");
}

// Maintenance: the counting goes on, no row acts on the application, and
// resuming counts from zero, so the termination comes one whole cycle later.
TEST(WatchdogState, APausedWatchdogCountsButTakesNoActionUntilResumed) {
    for (const PassOutcome outcome : {PassOutcome::kTimeout, PassOutcome::kReadFailed}) {
        WatchdogState state = NewConnectionState();
        Step(&state, PassOutcome::kReadData);
        PauseWatchdog(&state);
        const std::string note = outcome == PassOutcome::kTimeout ? "silent:" : "failure:";
        EXPECT_EQ(Unusual(&state, outcome, 100, note), Steps{});
        EXPECT_EQ(state.connection, ConnectionState::kConnected);
        ResumeWatchdog(&state);
        EXPECT_FALSE(state.paused);
        const int terminateAt = outcome == PassOutcome::kTimeout ? 30 : 11;
        const Steps unusual = Unusual(&state, outcome, terminateAt, note);
        ASSERT_EQ(unusual.size(), 1u);
        EXPECT_EQ(unusual[0].first, terminateAt);
    }
    // A connection attempt that never brings data is neither closed nor replaced.
    WatchdogState connecting = NewConnectionState();
    PauseWatchdog(&connecting);
    EXPECT_EQ(Unusual(&connecting, PassOutcome::kTimeout, 90, "connecting:"), Steps{});
}

TEST(WatchdogState, APauseOutlivesANewSocketAndStillReplacesABrokenOne) {
    WatchdogState state = NewConnectionState(false);
    PauseWatchdog(&state);
    EXPECT_EQ(Describe(Step(&state, PassOutcome::kNoSocket)), "reconnect:1 [reconnect]");
    EXPECT_TRUE(state.paused);
    for (int i = 1; i < 30; ++i) {
        Step(&state, PassOutcome::kWaitFailed);
    }
    EXPECT_EQ(Describe(Step(&state, PassOutcome::kWaitFailed)),
              "waitFailed:30 reconnect:30 [reconnect][pause]");
    EXPECT_TRUE(state.paused);
}

}  // namespace
