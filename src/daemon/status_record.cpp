#include "daemon/status_record.h"

void ApplyEvent(AppStatus& status, const WatchdogEvent& event, int64_t now) {
    // The connection's state and counts, as the event left them.
    const WatchdogState& state = event.state;
    status.connected = state.connection == ConnectionState::kConnected;
    status.silentWaits = status.connected ? state.recvTimeouts : state.connectTimeouts;
    status.recvFailures = state.recvFailures;
    status.installPending = event.installPending;
    switch (event.kind) {
        case WatchdogEventKind::kDataReceived:
            status.bytesReceived += static_cast<uint64_t>(event.count);
            break;
        case WatchdogEventKind::kTerminate:
            ++status.terminations;
            break;
        case WatchdogEventKind::kLaunch:
            ++status.launches;
            break;
        case WatchdogEventKind::kReconnect:
            ++status.reconnects;
            break;
        case WatchdogEventKind::kHandshake:
            ++status.handshakes;
            status.lastMessageTime = now;
            break;
        case WatchdogEventKind::kTrain:
            ++status.trains;
            status.lastMessageTime = now;
            status.lastTrainTime = now;
            break;
        case WatchdogEventKind::kMismatch:
            ++status.fileMismatches;
            break;
        case WatchdogEventKind::kUninstall:
            ++status.uninstallCommands;
            break;
        case WatchdogEventKind::kInstall:
            ++status.installCommands;
            break;
        default:
            break;
    }
}
