// An application's state, and the rules every teller of it shares: the
// states as the journal's events tell them (the one rule by which the daemon
// writes the states each day's file begins with and every reader, the
// timeline and the history's summary, works them out), when a silence is
// worth showing, what counts as a restart, and when restarts make a storm.
// The status snapshot, zelkctl status and the alert rules use the same.
#pragma once

#include <cstdint>
#include <string_view>

#include "journal/event.h"

namespace journal {

enum class AppState : uint8_t {
    kNone,        // nothing known: before its first event, or not configured
    kConnected,   // data arrives
    kConnecting,  // a new connection, no data on it yet
    kSilent,      // connected, waiting without data (shown once SilenceShown)
    kFailing,     // reads fail (the peer closed)
    kDown,        // from a termination until the next connection
    kNotWatched,  // its watchdog thread did not start
};
constexpr int kAppStateCount = 7;

// Every state an application can be in (not kNone), in the order of the
// snapshot's zelk_app_state lines.
constexpr AppState kAppStates[] = {AppState::kConnected, AppState::kConnecting,
                                   AppState::kSilent,    AppState::kFailing,
                                   AppState::kDown,      AppState::kNotWatched};

// Silence. The watchdog waits 3 s at a time; the journal's silence line is
// written at the first wait without data. A quiet gap of up to
// kSilentWaitsTolerated waits (30 s: ten heartbeats of a station that sends
// one every 3 s) is not silence worth a colour; the watchdog terminates after
// 30 waits, and a third of that leaves an operator time to look first. So an
// application shows as silent from its wait after kSilentWaitsTolerated on,
// and as connected before, in the status as in the history and the timeline.
constexpr int32_t kSilentWaitsTolerated = 10;
constexpr int64_t kWaitMs = 3000;

// Whether `silentWaits` waits without data on a connection that brought
// data are shown as silent.
bool SilenceShown(int32_t silentWaits);
// When a silence whose journal line is at `beganMs` (its first silent wait)
// is shown as silent: kSilentWaitsTolerated waits later.
int64_t SilenceShownAtMs(int64_t beganMs);

// Restarts. A restart is a termination that begins a down period: one of an
// application that was not already down. A silent application's restart
// makes two terminations (the silent cycle's, then the eleventh failed read
// on the connection of the process just killed), and counts once.
bool TerminationRestarts(AppState before);
// Whether `event` (an application's) is a restart, from the state before it.
bool IsRestart(AppState before, const Event& event);

// Restarts within kFlappingWindowSeconds that make a restart storm
// ("flapping"): one is a recovery, three within the hour are not.
constexpr int32_t kFlappingRestarts = 3;
constexpr int64_t kFlappingWindowSeconds = 3600;
bool IsFlapping(int32_t restartsWithinWindow);

// The state after `event` (an application's), from `current`. Down lasts
// until the next connection: the reconnects and launches of a restart, and
// whatever the old connection still reports, keep it. A state line sets the
// state it names. Events that say nothing of the state keep it.
AppState NextState(AppState current, const Event& event);

// The name a state line, the snapshot's state label and the alert rules
// give a state ("connected", ..., "not_watched"; "" for kNone).
const char* StateName(AppState state);
// The state of a name; kNone for a name no state line gives.
AppState StateNamed(std::string_view name);

}  // namespace journal
