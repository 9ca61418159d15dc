#include "daemon/status_record.h"

#include "daemon/status_state.h"

void TerminationTimes::Add(int64_t time) {
    times_[next_] = time;
    next_ = (next_ + 1) % kCapacity;
    if (count_ < kCapacity) {
        ++count_;
    }
}

int32_t TerminationTimes::Within(int64_t now, int64_t seconds) const {
    int32_t within = 0;
    for (std::size_t i = 0; i < count_; ++i) {
        const int64_t time = times_[i];
        // Both times come from one clock of whole seconds since the epoch,
        // so the difference cannot overflow.
        within += (time > now - seconds && time < now + seconds) ? 1 : 0;
    }
    return within;
}

namespace {

// A new connection attempt: connecting again, nothing counted, no install due.
void Reconnected(AppStatus& status) {
    ++status.reconnects;
    status.connected = false;
    status.silentWaits = 0;
    status.recvFailures = 0;
    status.installPending = false;
}

// The watchdog set out to terminate the application: it is down until data
// arrives again.
void Terminated(AppRecord& record, int64_t now) {
    ++record.status.terminations;
    record.status.down = true;
    record.terminationTimes.Add(now);
}

}  // namespace

// The counts of the events as they are today: kConnecting and kRecvFailure
// carry the count before the event, kSilentWait the count after it.
void ApplyEvent(AppRecord& record, const WatchdogEvent& event, int64_t now) {
    AppStatus& status = record.status;
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
            status.down = false;
            status.bytesReceived += static_cast<uint64_t>(event.count);
            break;
        case WatchdogEventKind::kConnectCloseProcess:
        case WatchdogEventKind::kRecvCloseProcess:
        case WatchdogEventKind::kFailureCloseProcess:
            Terminated(record, now);
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

void CountTerminatedProcesses(AppRecord& record, int32_t processes) {
    if (processes > 0) {
        record.status.processesTerminated += static_cast<uint64_t>(processes);
    }
}

AppStatus StatusAt(const AppRecord& record, int64_t now) {
    AppStatus status = record.status;
    status.terminationsLastHour = record.terminationTimes.Within(now, kFlappingWindowSeconds);
    return status;
}
