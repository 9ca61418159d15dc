#include "service/service.h"

#include <mutex>

#include "alive_pinger.h"
#include "daemon/admin_event_output.h"
#include "daemon/daemon.h"
#include "log/log.h"
#include "platform/control_channel.h"
#include "platform/error_text.h"
#include "supervision/admin_event_mapping.h"

// Built during static initialisation, before main, and never deleted.
static CDaemon* const g_processDaemon = new CDaemon();

CDaemon* ProcessDaemon() {
    return g_processDaemon;
}

namespace {
constexpr const char* kServiceName = "ZELK_Daemon";

// Wait hints, in milliseconds.
constexpr uint32_t kLongWaitMs = 9000;  // start, stop, pause and continue themselves
constexpr uint32_t kShortWaitMs = 500;  // the pending report of a control request
constexpr uint32_t kNoWaitMs = 0;       // interrogate and other codes

void InitProcessDaemon() {
    g_processDaemon->Init();
    g_processDaemon->ServeControl(platform::ServiceControlChannel(), false);
}
bool StartProcessDaemon() {
    return g_processDaemon->Start();
}
bool StopProcessDaemon() {
    return g_processDaemon->Stop();
}
// Service mode: the supervisor's events reach the administrator's log.
void UseProcessEventLog() {
    static AdminEventMapping mapping(ProcessAdminEvents(), platform::ErrorText);
    ProcessAdminEvents().SetSink(&PlatformAdminEventSink());
    g_processDaemon->AddEventConsumer(&mapping);
}

// A watchdog that has reported nothing for this long is stuck: its passes
// take a 3-second wait each, and the slowest, with the result-file checks
// and a termination or launch, well under half of it.
constexpr int64_t kWatchdogStuckMs = 30000;

bool ProcessDaemonHealthy() {
    return g_processDaemon->WatchdogsAlive(kWatchdogStuckMs);
}

ServiceHooks g_hooks = {platform::RegisterServiceControlHandler,
                        platform::ReportServiceStatus,
                        InitProcessDaemon,
                        StartProcessDaemon,
                        StopProcessDaemon,
                        UseProcessEventLog,
                        ProcessDaemonHealthy,
                        platform::ServiceAliveIntervalMs,
                        platform::ReportServiceAlive};

// The one lock of the service host: every change of the record, together
// with the report that sends it, is made under it, so that the service thread
// and the control handler never interleave two reports.
std::mutex g_statusLock;
platform::ServiceStatus g_status = {};
platform::ServiceStatusHandle g_statusHandle = nullptr;
// The platform's error code of the last failed report, taken before anything
// else (the log writer) could change the platform's last error.
uint32_t g_lastReportError = 0;

// Pings the service manager's watchdog from ServiceMain's running report
// until ServiceStop. Defined after the lock its pings take, so that it is
// destroyed, and its thread ended, first.
AlivePinger g_pinger;

void SetCurrentState(uint32_t state) {
    std::lock_guard<std::mutex> hold(g_statusLock);
    g_status.currentState = state;
}

uint32_t LastReportError() {
    std::lock_guard<std::mutex> hold(g_statusLock);
    return g_lastReportError;
}

// Starts the watchdog's pings, every half of the interval the service
// manager asks for, as its documentation recommends; none when it asks for
// none. A failed ping is not logged: the next one follows, and a service
// manager that hears none ends the service anyway.
void StartAlivePings(platform::ServiceStatusHandle handle) {
    ServiceHooks hooks;
    {
        std::lock_guard<std::mutex> hold(g_statusLock);
        hooks = g_hooks;
    }
    const bool watched = hooks.aliveIntervalMs != nullptr && hooks.supervisorHealthy != nullptr &&
                         hooks.reportAlive != nullptr;
    uint32_t intervalMs = watched ? hooks.aliveIntervalMs(handle) : 0;
    g_pinger.Start(intervalMs / 2, hooks.supervisorHealthy, [handle, hooks] {
        std::lock_guard<std::mutex> hold(g_statusLock);
        uint32_t error = 0;
        hooks.reportAlive(handle, &error);
    });
}
}  // namespace

ServiceHooks SetServiceHooks(ServiceHooks hooks) {
    std::lock_guard<std::mutex> hold(g_statusLock);
    ServiceHooks previous = g_hooks;
    g_hooks = hooks;
    return previous;
}

platform::ServiceStatus ServiceStatusRecord() {
    std::lock_guard<std::mutex> hold(g_statusLock);
    return g_status;
}

namespace {
// Sets and sends the record under the status lock. With `keepState` the
// record's current state is sent again as it is, read under the same lock, so
// that a re-send never undoes a change made meanwhile by the other thread.
bool SendStatus(bool keepState, uint32_t state, uint32_t exitCode, uint32_t waitHint) {
    bool sent;
    {
        std::lock_guard<std::mutex> hold(g_statusLock);
        if (!keepState) {
            g_status.currentState = state;
        }
        g_status.checkPoint = 0;
        g_status.win32ExitCode = exitCode;
        g_status.waitHint = waitHint;
        uint32_t error = 0;
        sent = g_hooks.reportStatus(g_statusHandle, g_status, &error);
        if (!sent) {
            g_lastReportError = error;
        }
    }
    if (!sent) {
        WriteLog(LogLevel::kWarning, __LINE__, "ReportStatusToSCMgr", 0, "SetServiceStatus failed");
    }
    return sent;
}

bool ResendCurrentState() {
    return SendStatus(true, 0, 0, kNoWaitMs);
}
}  // namespace

bool ReportStatusToSCMgr(uint32_t state, uint32_t exitCode, uint32_t waitHint) {
    return SendStatus(false, state, exitCode, waitHint);
}

void ServiceMain(int /*argc*/, char** /*argv*/) {
    {
        std::lock_guard<std::mutex> hold(g_statusLock);
        g_status.serviceType = platform::kServiceTypeWin32;
        g_status.currentState = platform::kServiceStartPending;
        g_status.controlsAccepted = platform::kAcceptStopPauseContinueShutdown;
        g_status.win32ExitCode = 0;
        g_status.serviceSpecificExitCode = 0;
        g_status.checkPoint = 0;
        g_status.waitHint = 0;
        g_lastReportError = 0;
        g_statusHandle = nullptr;
    }
    // Outside the lock: the manager may call the handler before this returns.
    platform::ServiceStatusHandle handle = g_hooks.registerHandler(kServiceName, Service_Ctrl);
    if (handle == nullptr) {
        return;
    }
    {
        std::lock_guard<std::mutex> hold(g_statusLock);
        g_statusHandle = handle;
    }
    if (g_hooks.useEventLog != nullptr) {
        g_hooks.useEventLog();
    }
    if (!ReportStatusToSCMgr(platform::kServiceStartPending, 0, kLongWaitMs)) {
        ReportStatusToSCMgr(platform::kServiceStopped, LastReportError(), kNoWaitMs);
        return;
    }
    g_hooks.initSupervisor();
    if (ServiceStart()) {
        StartAlivePings(handle);
    }
}

bool ServiceStart() {
    ZELK_LOG(LogLevel::kTrace, 0, "ServiceStart in");
    g_hooks.startSupervisor();
    if (!ReportStatusToSCMgr(platform::kServiceRunning, 0, kLongWaitMs)) {
        return false;
    }
    ZELK_LOG(LogLevel::kTrace, 0, "ServiceStart out");
    return true;
}

bool ServiceStop() {
    ZELK_LOG(LogLevel::kTrace, 0, "ServiceStop in");
    g_hooks.stopSupervisor();
    g_pinger.Stop();
    if (ReportStatusToSCMgr(platform::kServiceStopped, 0, kLongWaitMs)) {
        ZELK_LOG(LogLevel::kTrace, 0, "ServiceStop out");
        return true;
    }
    ZELK_LOG(LogLevel::kWarning, static_cast<int32_t>(LastReportError()),
             "ServiceStop ReportStatusToSCMgr false");
    return false;
}

bool ServicePause() {
    ZELK_LOG(LogLevel::kTrace, 0, "ServicePause in");
    if (!ReportStatusToSCMgr(platform::kServicePaused, 0, kLongWaitMs)) {
        return false;
    }
    ZELK_LOG(LogLevel::kTrace, 0, "ServicePause out");
    return true;
}

bool ServiceContinue() {
    ZELK_LOG(LogLevel::kTrace, 0, "ServiceContinue in");
    if (!ReportStatusToSCMgr(platform::kServiceRunning, 0, kLongWaitMs)) {
        return false;
    }
    ZELK_LOG(LogLevel::kTrace, 0, "ServiceContinue out");
    return true;
}

void Service_Ctrl(uint32_t control) {
    switch (control) {
        case platform::kControlStop:
            ZELK_LOG(LogLevel::kTrace, 0, "SERVICE_STOP_PENDING");
            ReportStatusToSCMgr(platform::kServiceStopPending, 0, kShortWaitMs);
            ServiceStop();
            break;
        case platform::kControlPause:
            ZELK_LOG(LogLevel::kTrace, 0, "SERVICE_CONTROL_PAUSE");
            ReportStatusToSCMgr(platform::kServicePausePending, 0, kShortWaitMs);
            ServicePause();
            // Noted even when the paused report failed: the request was served.
            SetCurrentState(platform::kServicePaused);
            break;
        case platform::kControlContinue:
            ZELK_LOG(LogLevel::kTrace, 0, "SERVICE_CONTROL_CONTINUE");
            ReportStatusToSCMgr(platform::kServiceContinuePending, 0, kShortWaitMs);
            ServiceContinue();
            SetCurrentState(platform::kServiceRunning);
            break;
        case platform::kControlInterrogate:
            ZELK_LOG(LogLevel::kTrace, 0, "SERVICE_CONTROL_INTERROGATE");
            ResendCurrentState();
            break;
        default:
            // Shutdown included: the supervisor keeps running; the manager
            // only hears the current state again.
            ResendCurrentState();
            break;
    }
}
