// The service host's platform side: the dispatcher that runs the service,
// registration of the control handler, and status reports to the service
// manager (Win32: the service control manager; POSIX: systemd's notify socket).
#pragma once

#include <cstdint>

namespace platform {

// What an operator runs to see whether the daemon's service runs, as the
// packages install it.
#ifdef _WIN32
constexpr const char* kServiceStatusCommand = "sc query ZELK_Daemon";
#else
constexpr const char* kServiceStatusCommand = "systemctl status zelk-daemon";
#endif

// The service entry, run by the dispatcher on a thread of its own.
using ServiceMainFunction = void (*)(int argc, char** argv);

// The control handler; called on the dispatcher's thread, one request at a time.
using ServiceControlHandler = void (*)(uint32_t control);

// Opaque; null means "not registered".
using ServiceStatusHandle = void*;

// The status record, field for field as the service manager takes it.
struct ServiceStatus {
    uint32_t serviceType;
    uint32_t currentState;
    uint32_t controlsAccepted;
    uint32_t win32ExitCode;
    uint32_t serviceSpecificExitCode;
    uint32_t checkPoint;
    uint32_t waitHint;
};

// Service states.
constexpr uint32_t kServiceStopped = 1;
constexpr uint32_t kServiceStartPending = 2;
constexpr uint32_t kServiceStopPending = 3;
constexpr uint32_t kServiceRunning = 4;
constexpr uint32_t kServiceContinuePending = 5;
constexpr uint32_t kServicePausePending = 6;
constexpr uint32_t kServicePaused = 7;

// Control codes.
constexpr uint32_t kControlStop = 1;
constexpr uint32_t kControlPause = 2;
constexpr uint32_t kControlContinue = 3;
constexpr uint32_t kControlInterrogate = 4;
constexpr uint32_t kControlShutdown = 5;

// Service type: own-process (0x10) together with share-process (0x20).
constexpr uint32_t kServiceTypeWin32 = 0x30;
// Accepted controls: stop (1), pause and continue (2), shutdown (4).
constexpr uint32_t kAcceptStopPauseContinueShutdown = 7;

// Offers the service table {name, serviceMain} to the dispatcher. Returns
// true after the service ran and reported the stopped state; false when this
// process was not started as a service (the caller then runs in console mode).
// POSIX: true when NOTIFY_SOCKET is set. ServiceMain then runs on a thread of
// its own while this thread waits for signals and hands them to the
// registered handler: SIGTERM and SIGINT as stop, SIGUSR1 as pause, SIGUSR2 as
// continue, SIGHUP as interrogate. Signals that arrive before ServiceMain has
// returned are held until it has.
bool RunServiceDispatcher(const char* name, ServiceMainFunction serviceMain);

// A test seam of the POSIX dispatcher: called once each pass of its wait
// loop, after it has read the reported state and before it asks whether
// ServiceMain has returned, so that a test can order the service thread
// against those reads. Null (the default): none. The Win32 dispatcher is the
// system's own; there the probe is never called.
using DispatcherProbe = void (*)();
void SetDispatcherProbe(DispatcherProbe probe);
// Whether ServiceMain has returned during the current dispatcher run
// (always false on Win32).
bool ServiceMainReturned();

// Registers `handler` for the service `name`. Null on failure.
// POSIX: opens a datagram socket towards NOTIFY_SOCKET (a path, or "@name"
// for the abstract namespace) and removes the variable, and WATCHDOG_USEC and
// WATCHDOG_PID, from the environment so that launched programs do not inherit
// them.
ServiceStatusHandle RegisterServiceControlHandler(const char* name, ServiceControlHandler handler);

// Sends `status` through `handle`. On failure returns false and stores the
// platform's error code (never 0) in `*error`.
// POSIX: one notify datagram: "READY=1" the first time the running state is
// sent, "STOPPING=1" with the stop-pending state, and "STATUS=<state name>"
// every time, e.g. "STATUS=SERVICE_PAUSED".
bool ReportServiceStatus(ServiceStatusHandle handle, const ServiceStatus& status, uint32_t* error);

// How often, in milliseconds, the service manager wants to hear through
// ReportServiceAlive that the service is still well; 0 when it does not
// watch the service (also for a null handle).
// POSIX: WATCHDOG_USEC, in microseconds, when WATCHDOG_PID is unset or names
// this process, as systemd sets them for a unit with WatchdogSec=; read and
// removed from the environment by RegisterServiceControlHandler. Win32: 0.
uint32_t ServiceAliveIntervalMs(ServiceStatusHandle handle);

// Tells the service manager that the service is still well. On failure
// returns false and stores the platform's error code (never 0) in `*error`.
// POSIX: the notify datagram "WATCHDOG=1", sent without waiting. Win32: the
// service control manager watches nothing; true.
bool ReportServiceAlive(ServiceStatusHandle handle, uint32_t* error);

// The last "pause" of the program after the dispatcher has run the service.
// Win32: the console's pause when the process has a standard input; a
// service has none, and there it returns at once. POSIX: the console's pause
// when standard input is a terminal; otherwise, as under systemd, it returns
// at once without a prompt.
void PauseAfterService();

}  // namespace platform
