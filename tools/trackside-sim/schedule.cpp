#include "trackside-sim/schedule.h"

namespace sim {

Schedule::Schedule(const Options& options)
    : options(options),
      nextHandshakeMs(options.handshakeIntervalMs),
      nextTrainMs(options.trainIntervalMs > 0 ? options.trainIntervalMs : kNever) {}

bool Schedule::Tick(int64_t* nextMs, int64_t intervalMs, int64_t nowMs) {
    if (*nextMs == kNever || nowMs < *nextMs) {
        return false;
    }
    int64_t missed = (nowMs - *nextMs) / intervalMs;
    *nextMs += (missed + 1) * intervalMs;
    return true;
}

DueActions Schedule::Advance(int64_t nowMs) {
    DueActions due;
    if (Reached(options.exitAfterMs, nowMs)) {
        due.exit = true;
        return due;
    }
    if (!silent && Reached(options.silentAfterMs, nowMs)) {
        silent = true;
        due.silenceBegins = true;
    }
    if (!closing && Reached(options.closeAfterMs, nowMs)) {
        closing = true;
        due.closingBegins = true;
    }
    due.refuseConnections = closing;
    bool handshake = Tick(&nextHandshakeMs, options.handshakeIntervalMs, nowMs);
    bool train = Tick(&nextTrainMs, options.trainIntervalMs, nowMs);
    due.sendHandshake = handshake && !silent && !options.neverSend;
    due.train = train && !silent;
    return due;
}

}  // namespace sim
