#include "daemon/watchdog_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One step's actions as a compact text, so that whole runs compare at once:
// notes as "message:count", then the effects.
std::string Describe(const WatchdogActions& a) {
    static const char* const kNames[] = {
        "CONNECTING", "connectClose", "connectOpen",  "connectLoop", "recvClose",   "recvOpen",
        "recvLoop",   "failure",      "failureClose", "failureOpen", "failureLoop", "socketError",
    };
    std::string text;
    for (int i = 0; i < a.noteCount; ++i) {
        text += kNames[static_cast<int>(a.notes[i].kind)];
        text += ":" + std::to_string(a.notes[i].count) + " ";
    }
    if (a.sleepAfterFailedRead)
        text += "[sleep]";
    if (a.closeExe)
        text += "[CloseExe]";
    if (a.openExe)
        text += "[OpenExe]";
    if (a.handleData)
        text += "[data]";
    if (a.reconnect)
        text += "[reconnect]";
    if (a.pauseAfterFailedWait)
        text += "[pause]";
    return text;
}

// Feeds `n` events and returns the actions of each step that did more than
// the routine, keyed by the step's 1-based number.
std::vector<std::pair<int, std::string>> Feed(WatchdogState* state, PassOutcome event, int n,
                                              const std::string& routine) {
    std::vector<std::pair<int, std::string>> unusual;
    for (int i = 1; i <= n; ++i) {
        std::string step = Describe(Step(state, event));
        if (routine != "*" && step != routine) {
            unusual.emplace_back(i, step);
        }
    }
    return unusual;
}

TEST(WatchdogState, ConnectTimeoutsActAtTenTwentyThirty) {
    WatchdogState state = NewConnectionState();
    std::vector<std::string> steps;
    for (int i = 0; i < 30; ++i) {
        steps.push_back(Describe(Step(&state, PassOutcome::kTimeout)));
    }
    for (int i = 0; i < 30; ++i) {
        std::string expected = "CONNECTING:" + std::to_string(i) + " ";
        if (i == 9)
            expected += "connectClose:0 [CloseExe]";
        if (i == 19)
            expected += "connectOpen:0 [OpenExe]";
        if (i == 29)
            expected += "connectLoop:0 [reconnect]";
        EXPECT_EQ(steps[static_cast<size_t>(i)], expected) << "time-out " << i + 1;
    }
    // After the replacement the count starts again from 0.
    EXPECT_EQ(state.connection, ConnectionState::kConnecting);
    EXPECT_EQ(Describe(Step(&state, PassOutcome::kTimeout)), "CONNECTING:0 ");
}

TEST(WatchdogState, ReceiveTimeoutsAreSilentExceptAtThirtyFortyFiveSixty) {
    WatchdogState state = NewConnectionState();
    EXPECT_EQ(Describe(Step(&state, PassOutcome::kReadData)), "[data]");
    auto unusual = Feed(&state, PassOutcome::kTimeout, 60, "");
    std::vector<std::pair<int, std::string>> expected = {
        {30, "recvClose:0 [CloseExe]"},
        {45, "recvOpen:0 [OpenExe]"},
        {60, "recvLoop:0 [reconnect]"},
    };
    EXPECT_EQ(unusual, expected);
    // The replacement socket is connecting again: time-outs count as such.
    EXPECT_EQ(state.connection, ConnectionState::kConnecting);
    EXPECT_EQ(Describe(Step(&state, PassOutcome::kTimeout)), "CONNECTING:0 ");
}

TEST(WatchdogState, FailedReadsActAtEleventhTwentiethThirtyFirst) {
    WatchdogState state = NewConnectionState();
    std::vector<std::string> steps;
    for (int i = 0; i < 31; ++i) {
        steps.push_back(Describe(Step(&state, PassOutcome::kReadFailed)));
    }
    for (int i = 0; i < 31; ++i) {
        std::string expected = "failure:" + std::to_string(i) + " ";
        if (i == 10)
            expected += "failureClose:11 ";
        if (i == 19)
            expected += "failureOpen:20 ";
        if (i == 30)
            expected += "failureLoop:0 ";
        expected += "[sleep]";
        if (i == 10)
            expected += "[CloseExe]";
        if (i == 19)
            expected += "[OpenExe]";
        if (i == 30)
            expected += "[reconnect]";
        EXPECT_EQ(steps[static_cast<size_t>(i)], expected) << "failure " << i + 1;
    }
    EXPECT_EQ(state.recvFailures, 0);
    EXPECT_EQ(state.connection, ConnectionState::kConnecting);
}

TEST(WatchdogState, ReadableResetsBothTimeoutCounts) {
    struct Case {
        const char* what;
        PassOutcome readable;
    };
    for (Case c :
         {Case{"data", PassOutcome::kReadData}, Case{"failed read", PassOutcome::kReadFailed}}) {
        WatchdogState state = NewConnectionState();
        Feed(&state, PassOutcome::kTimeout, 9, "*");
        Step(&state, c.readable);
        EXPECT_EQ(state.connectTimeouts, 0) << c.what;
        EXPECT_EQ(state.connection, ConnectionState::kConnected) << c.what;
        Feed(&state, PassOutcome::kTimeout, 29, "*");
        EXPECT_EQ(state.recvTimeouts, 29) << c.what;
        Step(&state, c.readable);
        EXPECT_EQ(state.recvTimeouts, 0) << c.what;
        // 29 more silent waits: still no action, the count began anew.
        EXPECT_TRUE(Feed(&state, PassOutcome::kTimeout, 29, "").empty()) << c.what;
    }
}

TEST(WatchdogState, DataResetsTheFailureCountButAFailureKeepsTimeoutsAtZero) {
    WatchdogState state = NewConnectionState();
    Feed(&state, PassOutcome::kReadFailed, 10, "*");
    EXPECT_EQ(state.recvFailures, 10);
    Step(&state, PassOutcome::kReadData);
    EXPECT_EQ(state.recvFailures, 0);
    // The next failure shows 0 again, and the 11th after it is the one that closes.
    EXPECT_EQ(Describe(Step(&state, PassOutcome::kReadFailed)), "failure:0 [sleep]");
    Feed(&state, PassOutcome::kReadFailed, 10, "*");
    EXPECT_EQ(state.recvFailures, 11);
}

TEST(WatchdogState, FailedWaitChangesNothing) {
    WatchdogState state = NewConnectionState();
    Feed(&state, PassOutcome::kTimeout, 5, "*");
    Step(&state, PassOutcome::kReadFailed);
    Feed(&state, PassOutcome::kTimeout, 7, "*");
    WatchdogState before = state;
    EXPECT_EQ(Describe(Step(&state, PassOutcome::kWaitFailed)), "socketError:0 [pause]");
    EXPECT_EQ(state.connection, before.connection);
    EXPECT_EQ(state.connectTimeouts, before.connectTimeouts);
    EXPECT_EQ(state.recvTimeouts, before.recvTimeouts);
    EXPECT_EQ(state.recvFailures, before.recvFailures);
}

TEST(WatchdogState, TimeoutsBetweenFailuresDoNotResetTheFailureCount) {
    // Only data resets the failure count; silent waits leave it alone.
    WatchdogState state = NewConnectionState();
    Feed(&state, PassOutcome::kReadFailed, 10, "*");
    Feed(&state, PassOutcome::kTimeout, 3, "");
    EXPECT_EQ(Describe(Step(&state, PassOutcome::kReadFailed)),
              "failure:10 failureClose:11 [sleep][CloseExe]");
}

}  // namespace
