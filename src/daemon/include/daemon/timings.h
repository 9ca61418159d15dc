// The waits of the supervisor and its watchdogs. The defaults are the
// product's; tests shorten them so that they never sit out real time-outs.
#pragma once

struct DaemonTimings {
    unsigned readWaitMs = 3000;         // each watchdog wait for readability
    unsigned failedReadSleepMs = 1000;  // the pause after a read that brought no data
    unsigned threadStartPauseMs = 250;  // between starting two watchdog threads
};
