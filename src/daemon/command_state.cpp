#include "daemon/command_state.h"

#include <limits>

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

void RunSubAppCommand(CommandAction action, const AppConfig& config, ShellRunner& shell,
                      WatchdogSink& sink) {
    if (action == CommandAction::kUninstall) {
        shell.Run(config.stopPath);
        sink.Report(WatchdogEvent(WatchdogEventKind::kUninstall));
    } else if (action == CommandAction::kInstall) {
        shell.Run(config.startPath);
        sink.Report(WatchdogEvent(WatchdogEventKind::kInstall));
    }
}
