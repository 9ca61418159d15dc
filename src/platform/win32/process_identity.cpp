#include "platform/process_identity.h"

#include <windows.h>

namespace platform {

namespace {

// 100-nanosecond intervals from 1601-01-01 to 1970-01-01.
constexpr uint64_t kEpochIntervals = 116444736000000000ull;

// The creation time of `process` in microseconds since the epoch; 0 when
// the system does not tell.
uint64_t CreationMicroseconds(HANDLE process) {
    FILETIME created{};
    FILETIME exited{};
    FILETIME kernel{};
    FILETIME user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        return 0;
    }
    const uint64_t intervals =
        (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    return intervals > kEpochIntervals ? (intervals - kEpochIntervals) / 10 : 0;
}

}  // namespace

ProcessIdentity OwnProcess() {
    ProcessIdentity own;
    own.id = GetCurrentProcessId();
    own.start = CreationMicroseconds(GetCurrentProcess());
    return own;
}

ProcessLiveness ProcessRuns(const ProcessIdentity& identity) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, identity.id);
    if (process == nullptr) {
        // No process has the id; any other refusal (access denied) says one does.
        return GetLastError() == ERROR_INVALID_PARAMETER ? ProcessLiveness::kGone
                                                         : ProcessLiveness::kUnknown;
    }
    DWORD exitCode = 0;
    const bool ended = GetExitCodeProcess(process, &exitCode) && exitCode != STILL_ACTIVE;
    const uint64_t start = CreationMicroseconds(process);
    CloseHandle(process);
    if (ended || (identity.start != 0 && start != 0 && start != identity.start)) {
        return ProcessLiveness::kGone;
    }
    return ProcessLiveness::kRuns;
}

}  // namespace platform
