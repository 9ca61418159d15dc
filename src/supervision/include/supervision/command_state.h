// The sub-application commands of one watchdog thread: a result-file mismatch
// runs the uninstall command, and the fifth handshake message after it runs
// the install command. A new connection attempt cancels a pending install.
#pragma once

#include <cstdint>
#include <string>

#include "supervision/app_config.h"
#include "supervision/watchdog_events.h"
#include "supervision/watchdog_seams.h"

// Handshake messages after an uninstall command that make the install due.
constexpr int32_t kHandshakesBeforeInstall = 5;

enum class CommandAction {
    kNone,
    kUninstall,  // run stopPath
    kInstall,    // run startPath
};

// The pure state: which command an event makes due. No I/O.
class CommandState {
  public:
    // Thread start and every new connection attempt: nothing pending, count 0.
    void Reset() {
        uninstallPending = false;
        handshakeCount = 0;
    }
    // A mismatch after a train: always the uninstall command (again, if one
    // is pending already); the count starts anew.
    CommandAction OnMismatch();
    // A consumed handshake message: the install command when an uninstall is
    // pending and this is its fifth handshake.
    CommandAction OnHandshake();

    // Maintenance: while held no command becomes due (a mismatch changes
    // nothing; an install already pending waits for the first handshake
    // after the hold).
    void Hold(bool held) { this->held = held; }

    bool UninstallPending() const { return uninstallPending; }
    int32_t HandshakeCount() const { return handshakeCount; }

  private:
    bool uninstallPending = false;
    int32_t handshakeCount = 0;
    bool held = false;
};

// Carries out `action` for the application: reports it is starting, hands
// stopPath or startPath to the shell and reports what the shell said. kNone
// does nothing.
void RunSubAppCommand(CommandAction action, const AppConfig& config, ShellRunner& shell,
                      WatchdogSink& sink);

// The handshake step: counts and reports the handshake, and runs the install
// command when due.
void HandleHandshake(CommandState& state, const AppConfig& config, ShellRunner& shell,
                     WatchdogSink& sink);

// The uninstall step after a result-file mismatch.
inline void HandleMismatch(CommandState& state, const AppConfig& config, ShellRunner& shell,
                           WatchdogSink& sink) {
    RunSubAppCommand(state.OnMismatch(), config, shell, sink);
}
