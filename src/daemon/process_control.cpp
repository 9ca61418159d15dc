// CDaemon::OpenExe and CDaemon::CloseExe: launching an application in the
// logged-on user's session and terminating its processes by file name.
#include <cstdio>
#include <vector>

#include "daemon/daemon.h"
#include "log/log.h"
#include "platform/process.h"

int CDaemon::OpenExe(std::string path) {
    uint32_t session = platform::ActiveSessionId();
    ZELK_LOG(LogLevel::kTrace, static_cast<int32_t>(session), "WTSGetActiveConsoleSessionId");
    int32_t error = 0;
    platform::UserIdentity* user = platform::QueryUserIdentity(session, &error);
    if (user == nullptr) {
        ZELK_LOG(LogLevel::kFatal, error, "WTSQueryUserToken error!");
        return 0;
    }
    bool created = platform::LaunchProgram(user, path, &error);
    platform::ReleaseUserIdentity(user);
    if (created) {
        std::printf("CreateProcess:%s\n", path.c_str());
        std::fflush(stdout);
        ZELK_LOG(LogLevel::kTrace, error, "Create Process success:%s", path.c_str());
        return 1;
    }
    std::printf("CreateProcess Fail:%sError:%d\n", path.c_str(), static_cast<int>(error));
    std::fflush(stdout);
    ZELK_LOG(LogLevel::kTrace, error, "Create Process Fail:%s", path.c_str());
    return 0;
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
        if (!platform::TerminateProcessById(process.id, &error)) {
            std::printf("TerminateProcess faile:%sError%d\n", name.c_str(),
                        static_cast<int>(error));
            std::fflush(stdout);
            ZELK_LOG(LogLevel::kTrace, error, "Terminate Process Fail:%s", name.c_str());
            // Later matches are left running.
            return 0;
        }
        std::printf("Terminate Process:%s\n", name.c_str());
        std::fflush(stdout);
        ZELK_LOG(LogLevel::kTrace, error, "Terminate Process success:%s", name.c_str());
    }
    return matched ? 1 : 0;
}
