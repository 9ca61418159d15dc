#include "platform/process.h"

#include <windows.h>

#include <tlhelp32.h>
#include <wtsapi32.h>

namespace platform {

struct UserIdentity {
    HANDLE token;
};

uint32_t ActiveSessionId() {
    PWTS_SESSION_INFOA sessions = nullptr;
    DWORD count = 0;
    uint32_t id = 0;
    if (WTSEnumerateSessionsA(WTS_CURRENT_SERVER_HANDLE, 0, 1, &sessions, &count)) {
        for (DWORD i = 0; i < count; ++i) {
            if (sessions[i].State == WTSActive) {
                id = sessions[i].SessionId;
                break;
            }
        }
        WTSFreeMemory(sessions);
    }
    return id;
}

UserIdentity* QueryUserIdentity(uint32_t sessionId, int32_t* error) {
    HANDLE token = nullptr;
    if (!WTSQueryUserToken(sessionId, &token)) {
        *error = static_cast<int32_t>(GetLastError());
        return nullptr;
    }
    // No child process is to inherit the user's token.
    SetHandleInformation(token, HANDLE_FLAG_INHERIT, 0);
    return new UserIdentity{token};
}

void ReleaseUserIdentity(UserIdentity* identity) {
    if (identity != nullptr) {
        CloseHandle(identity->token);
        delete identity;
    }
}

bool LaunchProgram(const UserIdentity* identity, const std::string& commandLine, int32_t* error) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    char desktop[] = "WinSta0\\Default";
    startup.lpDesktop = desktop;
    PROCESS_INFORMATION process{};
    // CreateProcessAsUserA may write into the command line.
    std::string command = commandLine;
    BOOL created = CreateProcessAsUserA(identity->token, nullptr, &command[0], nullptr, nullptr,
                                        FALSE, 0x30, nullptr, nullptr, &startup, &process);
    *error = static_cast<int32_t>(GetLastError());
    if (process.hProcess != nullptr) {
        CloseHandle(process.hProcess);
    }
    if (process.hThread != nullptr) {
        CloseHandle(process.hThread);
    }
    return created != FALSE;
}

bool ListProcesses(std::vector<ProcessEntry>* out) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return false;
    }
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        out->push_back(ProcessEntry{entry.th32ProcessID, entry.szExeFile});
    }
    CloseHandle(snapshot);
    return true;
}

bool TerminateProcessById(uint32_t id, int32_t* error) {
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, id);
    BOOL terminated = FALSE;
    if (process != nullptr) {
        terminated = TerminateProcess(process, 0);
    }
    *error = static_cast<int32_t>(GetLastError());
    if (process != nullptr) {
        CloseHandle(process);
        SetLastError(static_cast<DWORD>(*error));
    }
    return terminated != FALSE;
}

}  // namespace platform
