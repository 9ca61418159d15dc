#include "supervision/status_state.h"

#include "supervision/status_snapshot.h"

using journal::AppState;

AppState StateOf(const AppStatus& app) {
    if (app.notWatched) {
        return AppState::kNotWatched;
    }
    if (app.down) {
        return AppState::kDown;
    }
    if (app.connected && app.recvFailures > 0) {
        return AppState::kFailing;
    }
    if (app.connected && journal::SilenceShown(app.silentWaits)) {
        return AppState::kSilent;
    }
    return app.connected ? AppState::kConnected : AppState::kConnecting;
}

bool IsFlapping(const AppStatus& app) {
    return journal::IsFlapping(app.restartsLastHour);
}
