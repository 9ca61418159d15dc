#include "supervision/command_state.h"

#include <limits>

CommandAction CommandState::OnMismatch() {
    if (held) {
        return CommandAction::kNone;
    }
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
    if (!held && uninstallPending && handshakeCount >= kHandshakesBeforeInstall) {
        uninstallPending = false;
        return CommandAction::kInstall;
    }
    return CommandAction::kNone;
}

namespace {

// Said before the command starts (`Starting`), reported with its outcome
// after (`Done`).
template <typename Starting, typename Done>
void RunCommand(const std::string& command, ShellRunner& shell, WatchdogSink& sink) {
    sink.Report(Starting{});
    Done done;
    done.taken = shell.Run(command, &done.shellCode);
    done.command = command;
    sink.Report(done);
}

}  // namespace

void RunSubAppCommand(CommandAction action, const AppConfig& config, ShellRunner& shell,
                      WatchdogSink& sink) {
    namespace ev = watchdog_event;
    if (action == CommandAction::kUninstall) {
        RunCommand<ev::UninstallStarting, ev::Uninstall>(config.stopPath, shell, sink);
    } else if (action == CommandAction::kInstall) {
        RunCommand<ev::InstallStarting, ev::Install>(config.startPath, shell, sink);
    }
}

void HandleHandshake(CommandState& state, const AppConfig& config, ShellRunner& shell,
                     WatchdogSink& sink) {
    const CommandAction action = state.OnHandshake();
    sink.Report(watchdog_event::Handshake{state.HandshakeCount()});
    RunSubAppCommand(action, config, shell, sink);
}
