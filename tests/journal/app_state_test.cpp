// The rules every teller of an application's state shares: when a silence is
// shown, what a restart is, and when restarts make a storm.
#include "journal/app_state.h"

#include <gtest/gtest.h>

#include <string>

#include "journal/event.h"

namespace {

using journal::AppState;
using journal::Event;
using journal::EventKind;

Event Of(EventKind kind, const char* cycle = "", int64_t processes = journal::kNoNumber) {
    Event event;
    event.kind = kind;
    event.cycle = cycle;
    event.processes = processes;
    return event;
}

// The status used to show silence after 10 waits, the history and the
// timeline from the first: one rule now.
TEST(AppStateRules, SilenceIsShownAfterTenQuietWaits) {
    struct Row {
        int32_t waits;
        bool shown;
    };
    const Row rows[] = {{0, false}, {1, false}, {10, false}, {11, true}, {29, true}};
    for (const Row& row : rows) {
        EXPECT_EQ(journal::SilenceShown(row.waits), row.shown) << row.waits;
    }
    // The journal's silence line is at the first wait; the eleventh is 30 s on.
    EXPECT_EQ(journal::SilenceShownAtMs(1000), 31000);
}

// Terminations used to count as restarts one by one; a restart is now one
// that begins a down period, so a silent restart's two count once, and two
// real restarts are two.
TEST(AppStateRules, ARestartBeginsADownPeriod) {
    struct Row {
        Event event;
        AppState state;  // after the event
        bool restart;
    };
    const Row rows[] = {
        {Of(EventKind::kConnected), AppState::kConnected, false},
        {Of(EventKind::kSilence), AppState::kSilent, false},
        {Of(EventKind::kTerminated, "silent", 1), AppState::kDown, true},
        {Of(EventKind::kLaunched, "silent"), AppState::kDown, false},
        // The killed process's connection fails: its termination finds nothing.
        {Of(EventKind::kFailing), AppState::kDown, false},
        {Of(EventKind::kTerminated, "failing", 0), AppState::kDown, false},
        {Of(EventKind::kLaunched, "failing"), AppState::kDown, false},
        {Of(EventKind::kConnected), AppState::kConnected, false},
        // The application closed its end: the next restart is one again.
        {Of(EventKind::kFailing), AppState::kFailing, false},
        {Of(EventKind::kTerminated, "failing", 1), AppState::kDown, true},
    };
    AppState state = AppState::kNone;
    int32_t restarts = 0;
    for (const Row& row : rows) {
        const bool restart = journal::IsRestart(state, row.event);
        EXPECT_EQ(restart, row.restart) << static_cast<int>(row.event.kind);
        restarts += restart ? 1 : 0;
        state = journal::NextState(state, row.event);
        EXPECT_EQ(state, row.state) << static_cast<int>(row.event.kind);
    }
    EXPECT_EQ(restarts, 2);
    // The first termination known of an application is a restart.
    EXPECT_TRUE(journal::IsRestart(AppState::kNone, Of(EventKind::kTerminated, "connecting", 0)));
    EXPECT_FALSE(journal::IsFlapping(2));
    EXPECT_TRUE(journal::IsFlapping(3));
}

}  // namespace
