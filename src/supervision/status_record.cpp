#include "supervision/status_record.h"

#include "supervision/status_state.h"

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

void ApplyEvent(AppRecord& record, const WatchdogEvent& event, int64_t now) {
    AppStatus& status = record.status;
    // The connection's state and counts, as the event left them.
    const WatchdogState& state = event.state;
    status.connected = state.connection == ConnectionState::kConnected;
    status.silentWaits = status.connected ? state.recvTimeouts : state.connectTimeouts;
    status.recvFailures = state.recvFailures;
    status.installPending = event.installPending;
    switch (event.kind) {
        case WatchdogEventKind::kThreadNotStarted:
            status.notWatched = true;
            break;
        case WatchdogEventKind::kDataReceived:
            // Down from a termination until data arrives again.
            status.down = false;
            status.bytesReceived += static_cast<uint64_t>(event.count);
            break;
        case WatchdogEventKind::kTerminate:
            ++status.terminations;
            status.down = true;
            record.terminationTimes.Add(now);
            break;
        case WatchdogEventKind::kTerminated:
            CountTerminatedProcesses(record, event.count);
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
