#include "supervision/status_record.h"

#include "supervision/status_state.h"

void RecentTimes::Add(int64_t time) {
    times_[next_] = time;
    next_ = (next_ + 1) % kCapacity;
    if (count_ < kCapacity) {
        ++count_;
    }
}

int32_t RecentTimes::Within(int64_t now, int64_t seconds) const {
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

// A termination the watchdog decided on or an operator asked for: the
// application is down until its next connection.
void NoteTermination(AppRecord& record, int64_t now) {
    AppStatus& status = record.status;
    if (journal::TerminationRestarts(StateOf(status))) {
        ++status.restarts;
        record.restartTimes.Add(now);
    }
    ++status.terminations;
    status.down = true;
    record.terminationTimes.Add(now);
}

}  // namespace

void ApplyEvent(AppRecord& record, const WatchdogEvent& event, int64_t now) {
    AppStatus& status = record.status;
    namespace ev = watchdog_event;
    if (event.Is<ev::ThreadExit>()) {
        return;
    }
    // The connection's state and counts, as the event left them.
    const WatchdogState& state = event.state;
    status.connected = state.connection == ConnectionState::kConnected;
    status.silentWaits = status.connected ? state.recvTimeouts : state.connectTimeouts;
    status.recvFailures = state.recvFailures;
    status.installPending = event.installPending;
    std::visit(Overloaded{
                   [&](const ev::ThreadNotStarted&) { status.notWatched = true; },
                   [&](const ev::DataReceived& data) {
                       // Down from a termination until data arrives again.
                       status.down = false;
                       status.bytesReceived += static_cast<uint64_t>(data.bytes);
                   },
                   [&](const ev::Terminate&) { NoteTermination(record, now); },
                   [&](const ev::Terminated& terminated) {
                       // An operator's restart: no row came before it.
                       if (terminated.cycle == Cycle::kNone) {
                           NoteTermination(record, now);
                       }
                       CountTerminatedProcesses(record, terminated.processes);
                   },
                   [&](const ev::Launch&) { ++status.launches; },
                   [&](const ev::Launched& launched) {
                       if (launched.cycle == Cycle::kNone) {
                           ++status.launches;
                       }
                   },
                   [&](const ev::Reconnect&) { ++status.reconnects; },
                   [&](const ev::Handshake&) {
                       ++status.handshakes;
                       status.lastMessageTime = now;
                   },
                   [&](const ev::Train&) {
                       ++status.trains;
                       status.lastMessageTime = now;
                       status.lastTrainTime = now;
                   },
                   [&](const ev::Mismatch&) { ++status.fileMismatches; },
                   [&](const ev::Uninstall&) { ++status.uninstallCommands; },
                   [&](const ev::Install&) { ++status.installCommands; },
                   [](const auto&) {},
               },
               event.what);
}

void CountTerminatedProcesses(AppRecord& record, int32_t processes) {
    if (processes > 0) {
        record.status.processesTerminated += static_cast<uint64_t>(processes);
    }
}

AppStatus StatusAt(const AppRecord& record, int64_t now) {
    AppStatus status = record.status;
    status.terminationsLastHour =
        record.terminationTimes.Within(now, journal::kFlappingWindowSeconds);
    status.restartsLastHour = record.restartTimes.Within(now, journal::kFlappingWindowSeconds);
    return status;
}
