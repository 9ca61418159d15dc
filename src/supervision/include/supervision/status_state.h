// The state of a watched application in one word, and when its terminations
// make a restart storm: the one rule the snapshot's zelk_app_state and
// zelkctl status both follow.
#pragma once

#include <cstdint>

struct AppStatus;

enum class AppState {
    kConnected,   // data arrives
    kConnecting,  // not connected (a new connection, no data yet)
    kSilent,      // connected, more than kSilentWarningWaits waits without data
    kFailing,     // reads fail (the application closed its end)
    kDown,        // from a termination until data arrives again
    kNotWatched,  // the watchdog thread could not start
};

// Every state, in the order of the snapshot's zelk_app_state lines.
constexpr AppState kAppStates[] = {AppState::kConnected, AppState::kConnecting,
                                   AppState::kSilent,    AppState::kFailing,
                                   AppState::kDown,      AppState::kNotWatched};

// A third of the 30 silent waits (90 s) after which the watchdog terminates
// a connected application: time enough for an operator to look first.
constexpr int32_t kSilentWarningWaits = 10;

// Terminations within kFlappingWindowSeconds that make a restart storm: one
// is a recovery, two may be one outage counted twice (the second
// termination of a cycle often finds nothing left to kill), three are not.
constexpr int32_t kFlappingTerminations = 3;
constexpr int64_t kFlappingWindowSeconds = 3600;

// The state of `app`, in this precedence: not watched, down, failing,
// silent, connecting, connected.
AppState StateOf(const AppStatus& app);

// The state's value of the snapshot's label state: "connected",
// "connecting", "silent", "failing", "down", "not_watched".
const char* StateName(AppState state);

// True when the application's terminations of the last hour make a storm.
bool IsFlapping(const AppStatus& app);
