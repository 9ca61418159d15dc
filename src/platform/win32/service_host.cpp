#include "platform/service_host.h"

#include <windows.h>

namespace platform {

namespace {
ServiceMainFunction g_serviceMain = nullptr;

VOID WINAPI ServiceEntry(DWORD argc, LPSTR* argv) {
    g_serviceMain(static_cast<int>(argc), argv);
}
}  // namespace

bool RunServiceDispatcher(const char* name, ServiceMainFunction serviceMain) {
    g_serviceMain = serviceMain;
    SERVICE_TABLE_ENTRYA table[] = {
        {const_cast<LPSTR>(name), ServiceEntry},
        {nullptr, nullptr},
    };
    return StartServiceCtrlDispatcherA(table) != FALSE;
}

}  // namespace platform
