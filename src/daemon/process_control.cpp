#include "daemon/process_control.h"

#include <vector>

#include "daemon/event_log.h"
#include "platform/process.h"

LaunchOutcome LaunchInUserSession(const std::string& path) {
    LaunchOutcome outcome;
    outcome.session = platform::ActiveSessionId();
    supervisor_log::SessionChosen(outcome.session);
    platform::UserIdentity* user = platform::QueryUserIdentity(outcome.session, &outcome.error);
    if (user == nullptr) {
        supervisor_log::UserTokenFailed(outcome.error);
        outcome.userFound = false;
        return outcome;
    }
    outcome.started = platform::LaunchProgram(user, path, &outcome.error);
    platform::ReleaseUserIdentity(user);
    supervisor_log::Launched(path, outcome.started, outcome.error);
    return outcome;
}

TerminateOutcome TerminateProcessesNamed(const std::string& name) {
    TerminateOutcome outcome;
    if (name.empty()) {
        outcome.result = -1;
        return outcome;
    }
    std::vector<platform::ProcessEntry> processes;
    if (!platform::ListProcesses(&processes)) {
        return outcome;
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
            return outcome;  // later matches are left running
        }
        ++outcome.processes;
    }
    outcome.result = matched ? 1 : 0;
    return outcome;
}
