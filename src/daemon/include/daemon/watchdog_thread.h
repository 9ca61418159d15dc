// What a watchdog thread is handed when it starts: its application's record,
// which it owns from then on, and the parts of its supervisor it uses.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "daemon/timings.h"
#include "daemon/watchdog.h"
#include "supervision/app_config.h"
#include "supervision/config_walk.h"
#include "supervision/event_hub.h"

// One of the supervisor's places for a watchdog thread.
struct WatchdogSlot {
    std::atomic<bool> watching{false};  // cleared to end the slot's thread alone
    std::atomic<bool> ended{true};      // set by the thread just before it lowers the count
};

struct WatchdogThreadContext {
    std::unique_ptr<AppConfig> app;
    int index;                          // the application's index, 0 to 19
    const std::atomic<bool>& running;   // its slot's flag (the stop, a reload), read at each pass
    std::atomic<int32_t>& threadCount;  // lowered once, as the thread's very last step
    DaemonTimings timings;
    EventHub& events;
    const WatchdogOrders* orders = nullptr;  // the control channel's, if it serves
    EvidenceSettings evidence;               // no folder: no dumps
    std::atomic<bool>* ended = nullptr;      // set as the thread ends, if given
};

// The thread's work: the watchdog of `context->app` built with the production
// seams and run until the stop. Takes ownership of the context. Returns 0.
unsigned WatchApplication(WatchdogThreadContext* context);
