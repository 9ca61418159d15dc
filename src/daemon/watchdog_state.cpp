#include "daemon/watchdog_state.h"

namespace {

void AddNote(WatchdogActions* actions, WatchdogEventKind kind, int32_t count) {
    actions->notes[actions->noteCount++] = WatchdogNote{kind, count};
}

void ConnectTimeout(WatchdogState* state, WatchdogActions* actions) {
    // The line shows the count before this time-out, so the first shows 0.
    AddNote(actions, WatchdogEventKind::kConnecting, state->connectTimeouts);
    ++state->connectTimeouts;
    if (state->connectTimeouts == 10) {
        AddNote(actions, WatchdogEventKind::kConnectCloseProcess, 0);
        actions->closeExe = true;
    } else if (state->connectTimeouts == 20) {
        AddNote(actions, WatchdogEventKind::kConnectOpenProcess, 0);
        actions->openExe = true;
    } else if (state->connectTimeouts == 30) {
        state->connectTimeouts = 0;
        AddNote(actions, WatchdogEventKind::kConnectGotoLoop, 0);
        actions->reconnect = true;
    }
}

void ReceiveTimeout(WatchdogState* state, WatchdogActions* actions) {
    ++state->recvTimeouts;
    if (state->recvTimeouts == 30) {
        AddNote(actions, WatchdogEventKind::kRecvCloseProcess, 0);
        actions->closeExe = true;
    } else if (state->recvTimeouts == 45) {
        AddNote(actions, WatchdogEventKind::kRecvOpenProcess, 0);
        actions->openExe = true;
    } else if (state->recvTimeouts == 60) {
        state->recvTimeouts = 0;
        AddNote(actions, WatchdogEventKind::kRecvGotoLoop, 0);
        actions->reconnect = true;
    }
}

void FailedRead(WatchdogState* state, WatchdogActions* actions) {
    actions->sleepAfterFailedRead = true;
    const int32_t before = state->recvFailures;
    AddNote(actions, WatchdogEventKind::kRecvFailure, before);
    ++state->recvFailures;
    // The close comes with the 11th failure in a row (the one counted after
    // a line showing 10), the launch with the 20th; the socket is replaced
    // only at the 31st, so a closed peer is read once a pass until then.
    if (before == 10) {
        AddNote(actions, WatchdogEventKind::kFailureCloseProcess, state->recvFailures);
        actions->closeExe = true;
    } else if (state->recvFailures == 20) {
        AddNote(actions, WatchdogEventKind::kFailureOpenProcess, state->recvFailures);
        actions->openExe = true;
    } else if (state->recvFailures > 30) {
        state->recvFailures = 0;
        AddNote(actions, WatchdogEventKind::kFailureGotoLoop, 0);
        actions->reconnect = true;
    }
}

}  // namespace

WatchdogState NewConnectionState() {
    return WatchdogState{};
}

WatchdogActions Step(WatchdogState* state, PassOutcome event) {
    WatchdogActions actions;
    switch (event) {
        case PassOutcome::kWaitFailed:
            actions.pauseAfterFailedWait = true;
            AddNote(&actions, WatchdogEventKind::kWaitFailed, 0);
            break;
        case PassOutcome::kTimeout:
            if (state->connection == ConnectionState::kConnecting) {
                ConnectTimeout(state, &actions);
            } else {
                ReceiveTimeout(state, &actions);
            }
            break;
        case PassOutcome::kReadData:
        case PassOutcome::kReadFailed:
            state->connectTimeouts = 0;
            state->recvTimeouts = 0;
            state->connection = ConnectionState::kConnected;
            if (event == PassOutcome::kReadData) {
                state->recvFailures = 0;
                actions.handleData = true;
            } else {
                FailedRead(state, &actions);
            }
            break;
    }
    if (actions.reconnect) {
        *state = NewConnectionState();
    }
    return actions;
}
