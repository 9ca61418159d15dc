// When the simulator does what: heartbeats and trains at their intervals and
// the fault modes at their times, as a pure function of the time since the
// process started, so that it can be tested without clocks or sockets.
#pragma once

#include <cstdint>

#include "trackside-sim/options.h"

namespace sim {

// What is due at one moment. Each "begins" flag is set once, at the first
// moment its fault applies.
struct DueActions {
    bool exit = false;
    bool silenceBegins = false;
    bool closingBegins = false;
    // From the close time on, every connection is closed, new ones included.
    bool refuseConnections = false;
    bool sendHandshake = false;
    bool train = false;
};

class Schedule {
  public:
    explicit Schedule(const Options& options);

    // What is due at `nowMs` (never smaller than at the call before). A
    // heartbeat or train whose time passed more than once since the last call
    // is due once, and the next one keeps the interval's rhythm. Nothing is
    // sent or written once the silence has begun; --never-send sends nothing
    // but trains are still written.
    DueActions Advance(int64_t nowMs);

  private:
    static bool Reached(int64_t atMs, int64_t nowMs) { return atMs != kNever && nowMs >= atMs; }
    // True when `*nextMs` has been reached, which it then moves past `nowMs`.
    static bool Tick(int64_t* nextMs, int64_t intervalMs, int64_t nowMs);

    const Options& options;
    int64_t nextHandshakeMs;
    int64_t nextTrainMs;
    bool silent = false;
    bool closing = false;
};

}  // namespace sim
