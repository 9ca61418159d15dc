// How the watchdog's events change an application's status record. Pure.
#pragma once

#include <cstdint>

#include "daemon/status_snapshot.h"
#include "daemon/watchdog_events.h"

// Applies one event of the application's watchdog to its record; `now` is
// the time of the event in seconds since the epoch.
void ApplyEvent(AppStatus& status, const WatchdogEvent& event, int64_t now);
