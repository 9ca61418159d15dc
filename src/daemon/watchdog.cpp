#include "daemon/watchdog.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/memory.h"
#include "supervision/train_message.h"

namespace ev = watchdog_event;

// The receive buffer: lazily backed zero pages. `used` marks how far reads
// have written since the last clear, so a clear touches only those bytes.
class Watchdog::ReceiveBuffer {
  public:
    explicit ReceiveBuffer(std::size_t bytes)
        : bytes_(bytes), data_(static_cast<char*>(platform::AllocateZeroedPages(bytes))) {}
    ~ReceiveBuffer() { platform::ReleasePages(data_, bytes_); }
    ReceiveBuffer(const ReceiveBuffer&) = delete;
    ReceiveBuffer& operator=(const ReceiveBuffer&) = delete;

    bool Ready() const { return data_ != nullptr && bytes_ >= 2; }
    char* Data() { return data_; }
    int ReadLimit() const { return static_cast<int>(bytes_ - 1); }
    // Puts the terminating zero after `n` received bytes.
    void Terminate(int n) {
        data_[n] = '\0';
        used_ = std::max(used_, static_cast<std::size_t>(n) + 1);
    }
    // The same as filling the whole buffer with zeros.
    void Clear() {
        if (data_ != nullptr) {
            std::memset(data_, 0, used_);
        }
        used_ = 0;
    }

  private:
    std::size_t bytes_;
    char* data_;
    std::size_t used_ = 0;
};

// Hands every event on with the state it left: the counting state and the
// sub-application command state.
class Watchdog::Stamping final : public WatchdogSink {
  public:
    Stamping(WatchdogSink& to, const WatchdogState& state, const CommandState& commands)
        : to_(to), state_(state), commands_(commands) {}
    void Report(const WatchdogEvent& event) override {
        WatchdogEvent stamped = event;
        stamped.state = state_;
        stamped.installPending = commands_.UninstallPending();
        to_.Report(stamped);
    }

  private:
    WatchdogSink& to_;
    const WatchdogState& state_;
    const CommandState& commands_;
};

Watchdog::Watchdog(const AppConfig& app, const DaemonTimings& timings, const WatchdogSeams& seams,
                   std::size_t receiveBytes, std::size_t messageBytes)
    : app_(app),
      timings_(timings),
      seams_(seams),
      sink_(new Stamping(seams.sink, state_, commands_)),
      receive_(new (std::nothrow) ReceiveBuffer(receiveBytes)),
      framer_(messageBytes),
      restartsDone_(seams.orders != nullptr ? seams.orders->restarts.load() : 0) {}

Watchdog::~Watchdog() = default;

template <typename Step>
void Watchdog::Guarded(Step step) {
    try {
        step();
    } catch (const std::bad_alloc&) {
        try {
            sink_->Report(ev::OutOfMemory{});
        } catch (const std::bad_alloc&) {
            // Not even the line could be written; the step is given up all the same.
        }
    }
}

void WaitForStop(const std::atomic<bool>& running, WatchdogClock& clock,
                 const DaemonTimings& timings) {
    while (running.load()) {
        clock.SleepMs(timings.readWaitMs);
    }
}

void Watchdog::Run(const std::atomic<bool>& running) {
    Guarded([this] { sink_->Report(ev::ThreadStart{}); });
    if (!receive_ || !receive_->Ready() || !framer_.Ready()) {
        // Without its buffers the thread cannot watch; it waits for the stop
        // all the same, so that the supervisor's count stays true.
        Guarded([this] { sink_->Report(ev::BuffersMissing{}); });
        WaitForStop(running, seams_.clock, timings_);
        return;
    }
    Guarded([this] { BeginConnectionAttempt(); });
    while (running.load()) {
        Guarded([this] { Pass(); });
    }
    seams_.connection.Close();
}

void Watchdog::BeginConnectionAttempt() {
    commands_.Reset();
    receive_->Clear();
    framer_.Clear();
    lastReceived_ = 0;
    lastReceivedAtMs_ = -1;
    int32_t error = 0;
    const bool created = seams_.connection.Open(app_.address, &error);
    const bool paused = state_.paused;
    state_ = NewConnectionState(created);
    state_.paused = paused;
    if (!created) {
        sink_->Report(ev::SocketCreateFailed{error});
    }
    sink_->Report(ev::ConnectionAttempt{});
}

void Watchdog::FollowOrders() {
    if (seams_.orders == nullptr) {
        return;
    }
    const bool paused = seams_.orders->paused.load();
    if (paused != state_.paused) {
        if (paused) {
            PauseWatchdog(&state_);
        } else {
            ResumeWatchdog(&state_);
        }
    }
    commands_.Hold(paused);
    const uint32_t restarts = seams_.orders->restarts.load();
    if (restarts != restartsDone_) {
        // Asked for by an operator, not by a row: no cycle led to it. The
        // connection to the process just ended goes with it, or its failed
        // reads would end the new one too. The new process is given one
        // wait to listen: the row of a missing socket connects anew after
        // it. Counts start from zero.
        restartsDone_ = restarts;
        Terminate(Cycle::kNone);
        Launch(Cycle::kNone);
        seams_.connection.Close();
        const bool paused = state_.paused;
        state_ = NewConnectionState(false);
        state_.paused = paused;
    }
}

void Watchdog::Pass() {
    FollowOrders();
    PassOutcome outcome = PassOutcome::kTimeout;
    int received = 0;
    if (state_.socketMissing) {
        // Nothing to wait on: one wait is sat out, then the socket is created
        // anew (the table's row for a missing socket).
        seams_.clock.SleepMs(timings_.readWaitMs);
        outcome = PassOutcome::kNoSocket;
    } else {
        const int64_t started = seams_.clock.NowMs();
        switch (seams_.connection.Wait(timings_.readWaitMs)) {
            case platform::WaitOutcome::kFailed:
                outcome = PassOutcome::kWaitFailed;
                break;
            case platform::WaitOutcome::kTimedOut:
                break;
            case platform::WaitOutcome::kConnectFailed: {
                // A failed connect never counts as readable: the rest of the
                // wait is sat out and it is a time-out.
                const int64_t left = started + timings_.readWaitMs - seams_.clock.NowMs();
                if (left > 0) {
                    seams_.clock.SleepMs(static_cast<unsigned>(left));
                }
                break;
            }
            case platform::WaitOutcome::kReadable:
                sink_->Report(ev::Readable{});
                received = seams_.connection.Read(receive_->Data(), receive_->ReadLimit());
                outcome = received > 0 ? PassOutcome::kReadData : PassOutcome::kReadFailed;
                break;
        }
    }
    CarryOut(Step(&state_, outcome), received);
}

void Watchdog::CarryOut(const WatchdogActions& actions, int received) {
    if (actions.sleepAfterFailedRead) {
        seams_.clock.SleepMs(timings_.failedReadSleepMs);
    }
    if (actions.reconnect) {
        seams_.connection.Close();
    }
    for (int i = 0; i < actions.noteCount; ++i) {
        CountingNote note = actions.notes[i];
        if (auto* failed = std::get_if<ev::ReadFailed>(&note)) {
            failed->readResult = received;  // 0: the peer closed; below 0: an error
        }
        std::visit(
            [this](auto counted) {
                counted.socketError = seams_.connection.LastError();
                sink_->Report(counted);
            },
            note);
    }
    if (actions.terminate != Cycle::kNone) {
        // Only a silent application is still there to be looked at: a
        // failing one has closed its end, a connecting one never answered.
        if (actions.terminate == Cycle::kSilent && seams_.evidence != nullptr) {
            // Whatever becomes of the dump, even memory running out, the
            // termination follows.
            Guarded([this, &actions] { TakeEvidence(actions.terminate); });
        }
        Terminate(actions.terminate);
    }
    if (actions.launch != Cycle::kNone) {
        Launch(actions.launch);
    }
    if (actions.handleData) {
        HandleReceived(received);
    }
    if (actions.reconnect) {
        BeginConnectionAttempt();
    }
    if (actions.pauseAfterFailedWait) {
        // A socket that cannot be waited on fails every wait at once; without
        // a pause the thread would spin and flood the log.
        seams_.clock.SleepMs(timings_.readWaitMs);
    }
}

void Watchdog::TakeEvidence(Cycle cycle) {
    EvidenceRequest request;
    request.cycle = cycle;
    request.count = CycleCount(cycle, CycleAction::kTerminate);
    if (lastReceivedAtMs_ >= 0) {
        request.lastMessageAgeMs = seams_.clock.NowMs() - lastReceivedAtMs_;
        const std::size_t bytes = static_cast<std::size_t>(lastReceived_);
        const std::size_t tail = std::min(bytes, kEvidenceMessageBytes);
        request.lastMessage.assign(receive_->Data() + (bytes - tail), tail);
    }
    for (const EvidenceRecord& record : seams_.evidence->TakeEvidence(app_, request)) {
        ev::Evidence taken;
        taken.path = record.path;
        taken.bytes = record.bytes;
        taken.milliseconds = record.milliseconds;
        taken.result = record.result;
        taken.error = record.error;
        taken.streakStart = record.streakStart;
        sink_->Report(taken);
    }
}

void Watchdog::Terminate(Cycle cycle) {
    const TerminateOutcome outcome = seams_.processes.Terminate(app_.name);
    sink_->Report(ev::Terminated{cycle, outcome.processes, outcome.result});
}

void Watchdog::Launch(Cycle cycle) {
    const LaunchOutcome outcome = seams_.processes.Launch(app_.path);
    ev::Launched launched;
    launched.cycle = cycle;
    launched.started = outcome.started;
    launched.error = outcome.error;
    launched.session = static_cast<int32_t>(outcome.session);
    launched.userFound = outcome.userFound;
    launched.command = app_.path;
    sink_->Report(launched);
}

void Watchdog::HandleReceived(int received) {
    sink_->Report(ev::DataReceived{received});
    receive_->Terminate(received);
    lastReceived_ = received;
    lastReceivedAtMs_ = seams_.clock.NowMs();
    const FramedMessage message =
        framer_.Append(receive_->Data(), static_cast<std::size_t>(received));
    if (message.discardedBytes > 0) {
        const std::size_t kept =
            std::min(static_cast<std::size_t>(received), framer_.Capacity() - 1);
        sink_->Report(ev::BufferOverflow{static_cast<int32_t>(message.discardedBytes),
                                         static_cast<int32_t>(kept)});
    }
    if (message.kind == MessageKind::kTrain) {
        TrainServices services{seams_.files, seams_.shell, seams_.clock, *sink_};
        HandleTrainMessage(message.text, app_, seams_.connection.LastError(), commands_, services);
    } else if (message.kind == MessageKind::kHandshake) {
        HandleHandshake(commands_, app_, seams_.shell, *sink_);
    }
}
