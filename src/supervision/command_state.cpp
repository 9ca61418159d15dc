#include "supervision/command_state.h"

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
    if (action == CommandAction::kNone) {
        return;
    }
    const bool uninstall = action == CommandAction::kUninstall;
    const std::string& command = uninstall ? config.stopPath : config.startPath;
    // Said before the command starts, reported with its outcome after.
    sink.Report(WatchdogEvent(uninstall ? WatchdogEventKind::kUninstallStarting
                                        : WatchdogEventKind::kInstallStarting));
    WatchdogEvent done(uninstall ? WatchdogEventKind::kUninstall : WatchdogEventKind::kInstall);
    done.ok = shell.Run(command, &done.second);
    done.text = command;
    sink.Report(done);
}

void HandleHandshake(CommandState& state, const AppConfig& config, ShellRunner& shell,
                     WatchdogSink& sink) {
    const CommandAction action = state.OnHandshake();
    WatchdogEvent handshake(WatchdogEventKind::kHandshake);
    handshake.count = state.HandshakeCount();
    sink.Report(handshake);
    RunSubAppCommand(action, config, shell, sink);
}
