// The watchdog's counting, apart from sockets and time: one Step per event of
// the thread loop, returning what the loop is to do. The thresholds are fixed
// by the product: after 10 silent waits while connecting the application is
// terminated, after 20 launched, after 30 the socket is replaced; once
// connected the same steps come after 30, 45 and 60 silent waits, and after
// the 11th, 20th and 31st failed read in a row.
#pragma once

#include <cstdint>

#include "daemon/watchdog_events.h"

enum class ConnectionState { kConnecting, kConnected };

struct WatchdogState {
    ConnectionState connection = ConnectionState::kConnecting;
    int32_t connectTimeouts = 0;
    int32_t recvTimeouts = 0;
    int32_t recvFailures = 0;
};

// What one pass of the loop observed.
enum class PassOutcome {
    kTimeout,     // the wait ended without readability
    kReadData,    // readable, and the read returned bytes
    kReadFailed,  // readable, and the read returned no data (closed or error)
    kWaitFailed,  // the wait itself failed
};

// A line of the loop to report, with the number it shows, if any. The kinds
// are the watchdog's events (watchdog_events.h) of the counting itself.
struct WatchdogNote {
    WatchdogEventKind kind;
    int32_t count;
};

// The loop carries these out in the order of the fields: report the failed
// wait, sleep after a failed read, close the socket when reconnecting, report
// the notes, terminate, launch, hand the bytes on, and finally begin a new
// connection attempt.
struct WatchdogActions {
    bool sleepAfterFailedRead = false;
    WatchdogNote notes[2] = {};
    int noteCount = 0;
    bool closeExe = false;
    bool openExe = false;
    bool handleData = false;
    bool reconnect = false;
    // Pause before the next pass (only after a failed wait, so that a socket
    // that can never be waited on does not spin the loop).
    bool pauseAfterFailedWait = false;
};

// The state of a fresh connection attempt: connecting, every count zero.
WatchdogState NewConnectionState();

// Advances `state` by one event and returns the actions to carry out.
WatchdogActions Step(WatchdogState* state, PassOutcome event);
