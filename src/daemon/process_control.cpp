// CDaemon::OpenExe and CDaemon::CloseExe: launching an application in the
// logged-on user's session and terminating its processes by file name.
#include <vector>

#include "daemon/daemon.h"
#include "daemon/event_log.h"
#include "platform/process.h"

int CDaemon::OpenExe(std::string path) {
    uint32_t session = platform::ActiveSessionId();
    supervisor_log::SessionChosen(session);
    int32_t error = 0;
    platform::UserIdentity* user = platform::QueryUserIdentity(session, &error);
    if (user == nullptr) {
        supervisor_log::UserTokenFailed(error);
        return 0;
    }
    bool created = platform::LaunchProgram(user, path, &error);
    platform::ReleaseUserIdentity(user);
    supervisor_log::Launched(path, created, error);
    return created ? 1 : 0;
}

int CDaemon::CloseExe(std::string name) {
    if (name.empty()) {
        return -1;
    }
    std::vector<platform::ProcessEntry> processes;
    if (!platform::ListProcesses(&processes)) {
        return 0;
    }
    bool matched = false;
    for (const platform::ProcessEntry& process : processes) {
        // Byte for byte: letter case and extension count.
        if (process.exeName != name) {
            continue;
        }
        matched = true;
        int32_t error = 0;
        const bool terminated = platform::TerminateProcessById(process.id, &error);
        supervisor_log::Terminated(name, terminated, error);
        if (!terminated) {
            // Later matches are left running.
            return 0;
        }
    }
    return matched ? 1 : 0;
}
