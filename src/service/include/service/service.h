// The service host: the process-wide supervisor, the service entry, the
// control handler and the one status record reported to the service manager.
#pragma once

#include <cstdint>

#include "platform/service_host.h"

class CDaemon;

// The supervisor built before main runs; the service path uses only this
// object. It lives until the process ends.
CDaemon* ProcessDaemon();

// The service entry the dispatcher runs on a thread of its own under the
// service name "ZELK_Daemon". Registers Service_Ctrl, turns the
// administrator events on, reports start pending, initialises and starts the
// supervisor, and once running is reported, tells the service manager's
// watchdog (where it has one) every half of its interval that the service is
// well, for as long as the supervisor answers that it is. The arguments are
// not looked at.
void ServiceMain(int argc, char** argv);

// The control handler: stop (1), pause (2), continue (3), interrogate (4);
// any other code (shutdown included) only re-sends the current state. Does
// all of its work before returning: a stop returns after every watchdog
// thread has ended and the stopped state has been reported.
void Service_Ctrl(uint32_t control);

// Sets the record's state, exit code and wait hint (check point 0) and sends
// it, both under the one status lock. False, with "SetServiceStatus failed"
// logged, when the send fails.
bool ReportStatusToSCMgr(uint32_t state, uint32_t exitCode, uint32_t waitHint);

// Starts the supervisor and reports running; false if that report failed.
bool ServiceStart();
// Stops the supervisor (waiting for its threads), ends the watchdog's pings
// and reports stopped; false if that report failed.
bool ServiceStop();
// Reports paused; the supervisor keeps running. False if the report failed.
bool ServicePause();
// Reports running. False if the report failed.
bool ServiceContinue();

// Everything the functions above reach outside themselves: the platform's
// registration, status report and watchdog, the supervisor, and the
// administrator events. Production uses the platform layer, ProcessDaemon()
// and the process's administrator events; tests put fakes in. A null
// useEventLog is left out; without all of the last three, nothing is pinged.
struct ServiceHooks {
    platform::ServiceStatusHandle (*registerHandler)(const char* name,
                                                     platform::ServiceControlHandler handler);
    bool (*reportStatus)(platform::ServiceStatusHandle handle,
                         const platform::ServiceStatus& status, uint32_t* error);
    void (*initSupervisor)();
    bool (*startSupervisor)();
    bool (*stopSupervisor)();
    // Sends the administrator events to the platform's event log from now on.
    void (*useEventLog)();
    // Whether the supervisor is well: every watchdog thread still makes its
    // passes. Asked before each watchdog ping.
    bool (*supervisorHealthy)();
    uint32_t (*aliveIntervalMs)(platform::ServiceStatusHandle handle);
    bool (*reportAlive)(platform::ServiceStatusHandle handle, uint32_t* error);
};

// Replaces the hooks; returns the previous ones.
ServiceHooks SetServiceHooks(ServiceHooks hooks);

// A copy of the status record, taken under the status lock.
platform::ServiceStatus ServiceStatusRecord();
