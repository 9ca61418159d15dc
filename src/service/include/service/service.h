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
// service name "ZELK_Daemon". Registers Service_Ctrl, reports start pending,
// initialises and starts the supervisor. The arguments are not looked at.
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
// Stops the supervisor (waiting for its threads) and reports stopped; false
// if that report failed.
bool ServiceStop();
// Reports paused; the supervisor keeps running. False if the report failed.
bool ServicePause();
// Reports running. False if the report failed.
bool ServiceContinue();

// Everything the functions above reach outside themselves: the platform's
// registration and status report, and the supervisor. Production uses the
// platform layer and ProcessDaemon(); tests put fakes in.
struct ServiceHooks {
    platform::ServiceStatusHandle (*registerHandler)(const char* name,
                                                     platform::ServiceControlHandler handler);
    bool (*reportStatus)(platform::ServiceStatusHandle handle,
                         const platform::ServiceStatus& status, uint32_t* error);
    void (*initSupervisor)();
    bool (*startSupervisor)();
    bool (*stopSupervisor)();
};

// Replaces the hooks; returns the previous ones.
ServiceHooks SetServiceHooks(ServiceHooks hooks);

// A copy of the status record, taken under the status lock.
platform::ServiceStatus ServiceStatusRecord();
