#include "platform/service_host.h"

#include <windows.h>

#include <atomic>

#include "platform/console.h"

namespace platform {

namespace {
ServiceMainFunction g_serviceMain = nullptr;
ServiceControlHandler g_handler = nullptr;
// Handler calls in progress. Windows calls the handler on the thread inside
// the dispatcher, so the dispatcher never returns in the middle of one; Wine
// calls it on a thread of its own and returns as soon as the stopped state is
// reported, while the handler still has its last log line to write.
std::atomic<int> g_handlersInside{0};

VOID WINAPI ServiceEntry(DWORD argc, LPSTR* argv) {
    g_serviceMain(static_cast<int>(argc), argv);
}

VOID WINAPI HandlerEntry(DWORD control) {
    ++g_handlersInside;
    if (g_handler != nullptr) {
        g_handler(control);
    }
    --g_handlersInside;
}
}  // namespace

bool RunServiceDispatcher(const char* name, ServiceMainFunction serviceMain) {
    g_serviceMain = serviceMain;
    SERVICE_TABLE_ENTRYA table[] = {
        {const_cast<LPSTR>(name), ServiceEntry},
        {nullptr, nullptr},
    };
    if (!StartServiceCtrlDispatcherA(table)) {
        return false;
    }
    while (g_handlersInside.load() > 0) {
        Sleep(1);
    }
    return true;
}

ServiceStatusHandle RegisterServiceControlHandler(const char* name, ServiceControlHandler handler) {
    // Set before registering: the manager may call the handler at once.
    g_handler = handler;
    SERVICE_STATUS_HANDLE handle = RegisterServiceCtrlHandlerA(name, HandlerEntry);
    return reinterpret_cast<ServiceStatusHandle>(handle);
}

bool ReportServiceStatus(ServiceStatusHandle handle, const ServiceStatus& status, uint32_t* error) {
    SERVICE_STATUS record;
    record.dwServiceType = status.serviceType;
    record.dwCurrentState = status.currentState;
    record.dwControlsAccepted = status.controlsAccepted;
    record.dwWin32ExitCode = status.win32ExitCode;
    record.dwServiceSpecificExitCode = status.serviceSpecificExitCode;
    record.dwCheckPoint = status.checkPoint;
    record.dwWaitHint = status.waitHint;
    if (SetServiceStatus(reinterpret_cast<SERVICE_STATUS_HANDLE>(handle), &record)) {
        return true;
    }
    // Taken at once: anything called later (the log writer) may change it.
    DWORD code = GetLastError();
    *error = code != 0 ? code : ERROR_GEN_FAILURE;
    return false;
}

uint32_t ServiceAliveIntervalMs(ServiceStatusHandle /*handle*/) {
    return 0;
}

bool ReportServiceAlive(ServiceStatusHandle /*handle*/, uint32_t* /*error*/) {
    return true;
}

void SetDispatcherProbe(DispatcherProbe /*probe*/) {}

bool ServiceMainReturned() {
    return false;
}

void PauseAfterService() {
    // A service has no standard input and no console: the shell's "pause"
    // would open a console of its own, nobody could press a key there, and
    // the process would never end after the service has stopped.
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
        return;
    }
    ConsolePause();
}

}  // namespace platform
