// The watchdog's counting, apart from sockets and time: one Step per pass of
// the thread loop, returning what the loop is to do. Every threshold is a row
// of kCycleRows, so that all of them can be read in one place.
#pragma once

#include <cstdint>
#include <variant>

#include "supervision/watchdog_events.h"

// What a row makes the loop do.
enum class CycleAction {
    kTerminate,  // terminate the application's processes (CloseExe)
    kLaunch,     // launch the application (OpenExe)
    kReconnect,  // close the socket and begin a new connection attempt
};

// One threshold: when the count of `cycle` becomes `count` (the count after
// the event that raised it), the loop carries out `action`.
struct CycleRow {
    Cycle cycle;
    int32_t count;
    CycleAction action;
    int32_t WatchdogState::*counter;  // the state's count of the cycle
    bool heldInPause;                 // a paused watchdog does not carry it out
};

// Every threshold of the watchdog. With the 3-second wait an application that
// never sends is terminated after about 30 s, launched after 60 s and
// reconnected after 90 s; one that falls silent after about 90, 135 and 180 s.
// A peer that closed is read once a second (the pause after a failed read)
// and the socket is replaced only at the 31st failure. A socket that cannot
// be waited on is replaced after one connect cycle of failed waits (each
// followed by a wait's pause), and one that could not be created after one
// wait.
//
// In maintenance (WatchdogState::paused) the counting goes on and is
// reported, but no row that acts because of the application does anything:
// no termination, no launch, no replacement of its connection. The rows of
// the watchdog's own socket faults still replace a socket that cannot work
// at all, so that the watchdog keeps connecting.
inline constexpr CycleRow kCycleRows[] = {
    {Cycle::kConnecting, 10, CycleAction::kTerminate, &WatchdogState::connectTimeouts, true},
    {Cycle::kConnecting, 20, CycleAction::kLaunch, &WatchdogState::connectTimeouts, true},
    {Cycle::kConnecting, 30, CycleAction::kReconnect, &WatchdogState::connectTimeouts, true},
    {Cycle::kSilent, 30, CycleAction::kTerminate, &WatchdogState::recvTimeouts, true},
    {Cycle::kSilent, 45, CycleAction::kLaunch, &WatchdogState::recvTimeouts, true},
    {Cycle::kSilent, 60, CycleAction::kReconnect, &WatchdogState::recvTimeouts, true},
    {Cycle::kFailing, 11, CycleAction::kTerminate, &WatchdogState::recvFailures, true},
    {Cycle::kFailing, 20, CycleAction::kLaunch, &WatchdogState::recvFailures, true},
    {Cycle::kFailing, 31, CycleAction::kReconnect, &WatchdogState::recvFailures, true},
    {Cycle::kWaitFailing, 30, CycleAction::kReconnect, &WatchdogState::waitFailures, false},
    {Cycle::kNoSocket, 1, CycleAction::kReconnect, &WatchdogState::noSocketWaits, false},
};

// The count at which `cycle` carries out `action`, or 0 when it never does.
constexpr int32_t CycleCount(Cycle cycle, CycleAction action) {
    for (const CycleRow& row : kCycleRows) {
        if (row.cycle == cycle && row.action == action) {
            return row.count;
        }
    }
    return 0;
}

// What one pass of the loop observed.
enum class PassOutcome {
    kTimeout,     // the wait ended without readability
    kReadData,    // readable, and the read returned bytes
    kReadFailed,  // readable, and the read returned no data (closed or error)
    kWaitFailed,  // the wait itself failed
    kNoSocket,    // there was no socket to wait on: one wait was sat out instead
};

// An event of the counting to report; the loop adds the socket error (and a
// failed read's result) as it reports it.
using CountingNote =
    std::variant<watchdog_event::ConnectingWait, watchdog_event::SilentWait,
                 watchdog_event::ReadFailed, watchdog_event::WaitFailed, watchdog_event::Connected,
                 watchdog_event::Resumed, watchdog_event::Terminate, watchdog_event::Launch,
                 watchdog_event::Reconnect>;

// The loop carries these out in the order of the fields: sleep after a failed
// read, close the socket when reconnecting, report the notes, terminate,
// launch, hand the bytes on, begin a new connection attempt, and pause after
// a failed wait.
struct WatchdogActions {
    bool sleepAfterFailedRead = false;
    CountingNote notes[3] = {};
    int noteCount = 0;
    Cycle terminate = Cycle::kNone;  // the cycle whose row terminates, if any
    Cycle launch = Cycle::kNone;     // the cycle whose row launches, if any
    bool handleData = false;
    bool reconnect = false;
    // Pause before the next pass (only after a failed wait, so that a socket
    // that can never be waited on does not spin the loop).
    bool pauseAfterFailedWait = false;
};

// The state of a fresh connection attempt: connecting, every count zero.
// `socketCreated`: whether the attempt could create its socket.
WatchdogState NewConnectionState(bool socketCreated = true);

// Maintenance begins: the rows held in a pause wait until ResumeWatchdog.
void PauseWatchdog(WatchdogState* state);
// Maintenance ends (or a restart was carried out): every count starts from
// zero, so that an application that was down meanwhile is not acted on at
// once; the connection itself is kept.
void ResumeWatchdog(WatchdogState* state);
// Every count back to zero; the connection and the pause are kept.
void ClearCounts(WatchdogState* state);

// Advances `state` by one pass and returns the actions to carry out.
WatchdogActions Step(WatchdogState* state, PassOutcome outcome);
