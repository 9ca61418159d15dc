#include "daemon/command_state.h"

#include <cstdio>
#include <limits>

#include "log/log.h"
#include "platform/shell.h"

namespace {

constexpr char kWatchdogFunction[] = "CDaemon::DaemonThread";

}  // namespace

CommandAction CommandState::OnMismatch() {
    uninstallPending = true;
    handshakeCount = 0;
    return CommandAction::kUninstall;
}

CommandAction CommandState::OnHandshake() {
    // The count only matters while an install is pending; it stops at its
    // maximum rather than overflowing on a connection that lives for years.
    if (handshakeCount < std::numeric_limits<int32_t>::max()) {
        ++handshakeCount;
    }
    if (uninstallPending && handshakeCount == kHandshakesBeforeInstall) {
        uninstallPending = false;
        return CommandAction::kInstall;
    }
    return CommandAction::kNone;
}

void PlatformShellRunner::Run(const std::string& command) {
    platform::RunShellCommand(command);
}

void RunSubAppCommand(CommandAction action, const AppConfig& config, ShellRunner& shell) {
    if (action == CommandAction::kUninstall) {
        std::printf("uninstall zlek services!\n");
        std::fflush(stdout);
        shell.Run(config.stopPath);
        WriteLog(LogLevel::kFatal, __LINE__, kWatchdogFunction, 0,
                 "uninstall:%s cmd:", config.subAppName.c_str());
    } else if (action == CommandAction::kInstall) {
        std::printf("install zlek services!\n");
        std::fflush(stdout);
        shell.Run(config.startPath);
        WriteLog(LogLevel::kFatal, __LINE__, kWatchdogFunction, 0,
                 "install:%s cmd:", config.subAppName.c_str());
    }
}
