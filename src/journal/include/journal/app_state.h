// An application's state as the journal's events tell it: the one rule by
// which the daemon writes the states each day's file begins with and every
// reader (the timeline, the history's summary) works them out.
#pragma once

#include <cstdint>
#include <string_view>

#include "journal/event.h"

namespace journal {

enum class AppState : uint8_t {
    kNone,        // nothing known: before its first event, or not configured
    kConnected,   // data arrives
    kConnecting,  // a new connection, no data on it yet
    kSilent,      // connected, waiting without data
    kFailing,     // reads fail (the peer closed)
    kDown,        // from a termination until the next connection
    kNotWatched,  // its watchdog thread did not start
};
constexpr int kAppStateCount = 7;

// The state after `event` (an application's), from `current`. Down lasts
// until the next connection: the reconnects and launches of a restart, and
// whatever the old connection still reports, keep it. A state line sets the
// state it names. Events that say nothing of the state keep it.
AppState NextState(AppState current, const Event& event);

// The name a state line gives a state ("connected", ...; "" for kNone).
const char* StateName(AppState state);
// The state of a name; kNone for a name no state line gives.
AppState StateNamed(std::string_view name);

}  // namespace journal
