#include "supervision/watchdog_state.h"

namespace {

namespace ev = watchdog_event;

void AddNote(WatchdogActions* actions, const CountingNote& note) {
    actions->notes[actions->noteCount++] = note;
}

// Counts one more event of `cycle` and returns the new count.
int32_t Raise(WatchdogState* state, Cycle cycle) {
    for (const CycleRow& row : kCycleRows) {
        if (row.cycle == cycle) {
            return ++(state->*row.counter);
        }
    }
    return 0;
}

// Carries out the rows of `cycle` that `count` reaches, but those a pause
// holds when `paused`.
void ApplyRows(Cycle cycle, int32_t count, bool paused, WatchdogActions* actions) {
    for (const CycleRow& row : kCycleRows) {
        if (row.cycle != cycle || row.count != count || (paused && row.heldInPause)) {
            continue;
        }
        switch (row.action) {
            case CycleAction::kTerminate:
                AddNote(actions, ev::Terminate{cycle, count});
                actions->terminate = cycle;
                break;
            case CycleAction::kLaunch:
                AddNote(actions, ev::Launch{cycle, count});
                actions->launch = cycle;
                break;
            case CycleAction::kReconnect:
                AddNote(actions, ev::Reconnect{cycle, count});
                actions->reconnect = true;
                break;
        }
    }
}

// Counts one more event of `cycle`, reports it as a `Note` with the new
// count and carries out the rows the count reaches.
template <typename Note>
void Count(WatchdogState* state, Cycle cycle, WatchdogActions* actions) {
    const int32_t count = Raise(state, cycle);
    AddNote(actions, Note{count});
    ApplyRows(cycle, count, state->paused, actions);
}

// A readable socket: both time-out counts start anew, and the connection
// counts as connected whatever the read brings.
void Readable(WatchdogState* state, PassOutcome outcome, WatchdogActions* actions) {
    const int32_t connectingWaits = state->connectTimeouts;
    const int32_t silentWaits = state->recvTimeouts;
    const int32_t failures = state->recvFailures;
    state->connectTimeouts = 0;
    state->recvTimeouts = 0;
    state->connection = ConnectionState::kConnected;
    if (outcome == PassOutcome::kReadFailed) {
        actions->sleepAfterFailedRead = true;
        Count<ev::ReadFailed>(state, Cycle::kFailing, actions);
        return;
    }
    state->recvFailures = 0;
    actions->handleData = true;
    if (!state->dataReceived) {
        state->dataReceived = true;
        AddNote(actions, ev::Connected{connectingWaits});
    } else if (silentWaits > 0) {
        AddNote(actions, ev::Resumed{Cycle::kSilent, silentWaits});
    } else if (failures > 0) {
        AddNote(actions, ev::Resumed{Cycle::kFailing, failures});
    }
}

}  // namespace

WatchdogState NewConnectionState(bool socketCreated) {
    WatchdogState state;
    state.socketMissing = !socketCreated;
    return state;
}

void ClearCounts(WatchdogState* state) {
    for (const CycleRow& row : kCycleRows) {
        state->*row.counter = 0;
    }
}

void PauseWatchdog(WatchdogState* state) {
    state->paused = true;
}

void ResumeWatchdog(WatchdogState* state) {
    state->paused = false;
    ClearCounts(state);
}

WatchdogActions Step(WatchdogState* state, PassOutcome outcome) {
    WatchdogActions actions;
    if (outcome != PassOutcome::kWaitFailed) {
        state->waitFailures = 0;
    }
    switch (outcome) {
        case PassOutcome::kNoSocket:
            // Nothing to report but the reconnection its row makes.
            ApplyRows(Cycle::kNoSocket, Raise(state, Cycle::kNoSocket), state->paused, &actions);
            break;
        case PassOutcome::kWaitFailed:
            actions.pauseAfterFailedWait = true;
            Count<ev::WaitFailed>(state, Cycle::kWaitFailing, &actions);
            break;
        case PassOutcome::kTimeout:
            if (state->connection == ConnectionState::kConnecting) {
                Count<ev::ConnectingWait>(state, Cycle::kConnecting, &actions);
            } else {
                Count<ev::SilentWait>(state, Cycle::kSilent, &actions);
            }
            break;
        case PassOutcome::kReadData:
        case PassOutcome::kReadFailed:
            Readable(state, outcome, &actions);
            break;
    }
    if (actions.reconnect) {
        const bool paused = state->paused;
        *state = NewConnectionState();
        state->paused = paused;
    }
    return actions;
}
