#include "daemon/status_record.h"

namespace {

// A new connection attempt: connecting again, nothing counted, no install due.
void Reconnected(AppStatus& status) {
    ++status.reconnects;
    status.connected = false;
    status.silentWaits = 0;
    status.recvFailures = 0;
    status.installPending = false;
}

}  // namespace

void ApplyEvent(AppStatus& status, const WatchdogEvent& event, int64_t now) {
    switch (event.kind) {
        case WatchdogEventKind::kThreadStart:
        case WatchdogEventKind::kThreadExit:
        case WatchdogEventKind::kBuffersMissing:
            status.connected = false;
            status.silentWaits = 0;
            status.recvFailures = 0;
            break;
        case WatchdogEventKind::kConnecting:
            status.connected = false;
            status.silentWaits = event.count + 1;
            break;
        case WatchdogEventKind::kSilentWait:
            status.silentWaits = event.count;
            break;
        case WatchdogEventKind::kReadable:
            status.connected = true;
            status.silentWaits = 0;
            break;
        case WatchdogEventKind::kRecvFailure:
            status.recvFailures = event.count + 1;
            break;
        case WatchdogEventKind::kDataReceived:
            status.recvFailures = 0;
            status.bytesReceived += static_cast<uint64_t>(event.count);
            break;
        case WatchdogEventKind::kConnectCloseProcess:
        case WatchdogEventKind::kRecvCloseProcess:
        case WatchdogEventKind::kFailureCloseProcess:
            ++status.terminations;
            break;
        case WatchdogEventKind::kConnectOpenProcess:
        case WatchdogEventKind::kRecvOpenProcess:
        case WatchdogEventKind::kFailureOpenProcess:
            ++status.launches;
            break;
        case WatchdogEventKind::kConnectGotoLoop:
        case WatchdogEventKind::kRecvGotoLoop:
        case WatchdogEventKind::kFailureGotoLoop:
            Reconnected(status);
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
            status.installPending = true;
            break;
        case WatchdogEventKind::kInstall:
            ++status.installCommands;
            status.installPending = false;
            break;
        case WatchdogEventKind::kWaitFailed:
        case WatchdogEventKind::kSocketCreateFailed:
        case WatchdogEventKind::kBufferOverflow:
        case WatchdogEventKind::kTrainKeyRefused:
        case WatchdogEventKind::kPictureTry:
        case WatchdogEventKind::kXmlTry:
        case WatchdogEventKind::kOutOfMemory:
            break;
    }
}
