// Launching a program in the interactive user's session and terminating
// processes by executable file name. Nothing here keeps state; every call
// may run on several threads at once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The id of the first active session the login manager reports; 0 when
// there is none or the sessions cannot be listed.
uint32_t ActiveSessionId();

// The identity a launched program runs as. Win32: the primary token of the
// session's user. POSIX: the session's user when the daemon runs as root and
// the session is an active graphical one, else the daemon's own user.
struct UserIdentity;

// Looks up the user of session `sessionId`. Null on failure, with the
// platform's error code in `*error`.
UserIdentity* QueryUserIdentity(uint32_t sessionId, int32_t* error);
void ReleaseUserIdentity(UserIdentity* identity);

// Starts `commandLine` as `identity`, in a new console (Win32) or a new
// session with its standard streams on /dev/null (POSIX), in the daemon's
// current folder, and does not wait for it. POSIX splits the command line as
// a shell does (blanks, quotes, backslashes) without expanding anything. True
// if the program was started; else false with the platform's error code.
bool LaunchProgram(const UserIdentity* identity, const std::string& commandLine, int32_t* error);

struct ProcessEntry {
    uint32_t id;
    std::string exeName;  // the executable's file name, without folder
};

// All processes, in the platform's listing order, except (POSIX) the calling
// process itself. False when no listing could be taken.
bool ListProcesses(std::vector<ProcessEntry>* out);

// Requests the immediate termination of process `id` (exit code 0 on Win32,
// SIGKILL on POSIX). False with the platform's error code on failure.
bool TerminateProcessById(uint32_t id, int32_t* error);

}  // namespace platform
