// Drives an installed service for the end-to-end tests:
//   service_control <service name> <command>...
// Commands, run in order, each printing one line:
//   <number>          ControlService with that control code:
//                     "control <code> ok <0|1> error <code> state <state> hint <wait hint>"
//   query             "state <state> exit <win32 exit code>"
//   wait:<state>:<ms> polls until the service reports <state>:
//                     "wait <state> ok <0|1> state <last state seen>"
//   gone:<exe>:<ms>   polls until no process runs the executable <exe>:
//                     "gone <0|1> count <processes left>"
// Exits 2 when the service cannot be opened, else 0.
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {
bool Query(SC_HANDLE service, SERVICE_STATUS* status) {
    return QueryServiceStatus(service, status) != FALSE;
}
// Number of processes whose executable file name is `exe` (case ignored).
int CountProcesses(const char* exe) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return -1;
    }
    int count = 0;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (_stricmp(entry.szExeFile, exe) == 0) {
            ++count;
        }
    }
    CloseHandle(snapshot);
    return count;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: service_control <name> <command>...\n");
        return 2;
    }
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service =
        manager != nullptr ? OpenServiceA(manager, argv[1], SERVICE_ALL_ACCESS) : nullptr;
    if (service == nullptr) {
        printf("open failed error %lu\n", GetLastError());
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        const char* command = argv[i];
        SERVICE_STATUS status = {};
        if (strcmp(command, "query") == 0) {
            Query(service, &status);
            printf("state %lu exit %lu\n", status.dwCurrentState, status.dwWin32ExitCode);
        } else if (strncmp(command, "wait:", 5) == 0) {
            char* end = nullptr;
            unsigned long wanted = strtoul(command + 5, &end, 10);
            unsigned long limitMs =
                (end != nullptr && *end == ':') ? strtoul(end + 1, nullptr, 10) : 10000;
            bool reached = false;
            for (unsigned long waited = 0; waited <= limitMs; waited += 50) {
                if (Query(service, &status) && status.dwCurrentState == wanted) {
                    reached = true;
                    break;
                }
                Sleep(50);
            }
            printf("wait %lu ok %d state %lu\n", wanted, reached ? 1 : 0, status.dwCurrentState);
        } else if (strncmp(command, "gone:", 5) == 0) {
            char exe[MAX_PATH] = {};
            const char* colon = strchr(command + 5, ':');
            size_t length =
                colon != nullptr ? static_cast<size_t>(colon - (command + 5)) : strlen(command + 5);
            memcpy(exe, command + 5, length < MAX_PATH - 1 ? length : MAX_PATH - 1);
            unsigned long limitMs = colon != nullptr ? strtoul(colon + 1, nullptr, 10) : 10000;
            int left = CountProcesses(exe);
            for (unsigned long waited = 0; left != 0 && waited < limitMs; waited += 50) {
                Sleep(50);
                left = CountProcesses(exe);
            }
            printf("gone %d count %d\n", left == 0 ? 1 : 0, left);
        } else {
            DWORD code = static_cast<DWORD>(strtoul(command, nullptr, 10));
            BOOL ok = ControlService(service, code, &status);
            DWORD error = ok ? 0 : GetLastError();
            printf("control %lu ok %d error %lu state %lu hint %lu\n", code, ok ? 1 : 0, error,
                   status.dwCurrentState, status.dwWaitHint);
        }
        fflush(stdout);
    }
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return 0;
}
