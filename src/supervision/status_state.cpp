#include "supervision/status_state.h"

#include "supervision/status_snapshot.h"

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
    if (app.connected && app.silentWaits > kSilentWarningWaits) {
        return AppState::kSilent;
    }
    return app.connected ? AppState::kConnected : AppState::kConnecting;
}

const char* StateName(AppState state) {
    switch (state) {
        case AppState::kConnected:
            return "connected";
        case AppState::kConnecting:
            return "connecting";
        case AppState::kSilent:
            return "silent";
        case AppState::kFailing:
            return "failing";
        case AppState::kDown:
            return "down";
        case AppState::kNotWatched:
            break;
    }
    return "not_watched";
}

bool IsFlapping(const AppStatus& app) {
    return app.terminationsLastHour >= kFlappingTerminations;
}
