#include "supervision/watchdog_state.h"

namespace {

void AddNote(WatchdogActions* actions, WatchdogEventKind kind, Cycle cycle, int32_t count) {
    actions->notes[actions->noteCount++] = WatchdogNote{kind, cycle, count};
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

// Carries out the rows of `cycle` that `count` reaches.
void ApplyRows(Cycle cycle, int32_t count, WatchdogActions* actions) {
    for (const CycleRow& row : kCycleRows) {
        if (row.cycle != cycle || row.count != count) {
            continue;
        }
        switch (row.action) {
            case CycleAction::kTerminate:
                AddNote(actions, WatchdogEventKind::kTerminate, cycle, count);
                actions->terminate = cycle;
                break;
            case CycleAction::kLaunch:
                AddNote(actions, WatchdogEventKind::kLaunch, cycle, count);
                actions->launch = cycle;
                break;
            case CycleAction::kReconnect:
                AddNote(actions, WatchdogEventKind::kReconnect, cycle, count);
                actions->reconnect = true;
                break;
        }
    }
}

// Counts one more event of `cycle`, reports it as `kind` and carries out the
// rows the new count reaches.
void Count(WatchdogState* state, Cycle cycle, WatchdogEventKind kind, WatchdogActions* actions) {
    const int32_t count = Raise(state, cycle);
    AddNote(actions, kind, cycle, count);
    ApplyRows(cycle, count, actions);
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
        Count(state, Cycle::kFailing, WatchdogEventKind::kReadFailed, actions);
        return;
    }
    state->recvFailures = 0;
    actions->handleData = true;
    if (!state->dataReceived) {
        state->dataReceived = true;
        AddNote(actions, WatchdogEventKind::kConnected, Cycle::kConnecting, connectingWaits);
    } else if (silentWaits > 0) {
        AddNote(actions, WatchdogEventKind::kResumed, Cycle::kSilent, silentWaits);
    } else if (failures > 0) {
        AddNote(actions, WatchdogEventKind::kResumed, Cycle::kFailing, failures);
    }
}

}  // namespace

WatchdogState NewConnectionState(bool socketCreated) {
    WatchdogState state;
    state.socketMissing = !socketCreated;
    return state;
}

WatchdogActions Step(WatchdogState* state, PassOutcome outcome) {
    WatchdogActions actions;
    if (outcome != PassOutcome::kWaitFailed) {
        state->waitFailures = 0;
    }
    switch (outcome) {
        case PassOutcome::kNoSocket:
            // Nothing to report but the reconnection its row makes.
            ApplyRows(Cycle::kNoSocket, Raise(state, Cycle::kNoSocket), &actions);
            break;
        case PassOutcome::kWaitFailed:
            actions.pauseAfterFailedWait = true;
            Count(state, Cycle::kWaitFailing, WatchdogEventKind::kWaitFailed, &actions);
            break;
        case PassOutcome::kTimeout:
            if (state->connection == ConnectionState::kConnecting) {
                Count(state, Cycle::kConnecting, WatchdogEventKind::kConnectingWait, &actions);
            } else {
                Count(state, Cycle::kSilent, WatchdogEventKind::kSilentWait, &actions);
            }
            break;
        case PassOutcome::kReadData:
        case PassOutcome::kReadFailed:
            Readable(state, outcome, &actions);
            break;
    }
    if (actions.reconnect) {
        *state = NewConnectionState();
    }
    return actions;
}
