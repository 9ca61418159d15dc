#include "journal/app_state.h"

namespace journal {

namespace {

// The state an application event leads to, by the state it finds: from
// nothing known, from down, and from any other state. kKeep: unchanged.
constexpr AppState kKeep = static_cast<AppState>(0xFF);
struct StateRule {
    EventKind kind;
    AppState fromNone;
    AppState fromDown;
    AppState otherwise;
};
constexpr StateRule kStateRules[] = {
    {EventKind::kConnected, AppState::kConnected, AppState::kConnected, AppState::kConnected},
    {EventKind::kResumed, AppState::kConnected, kKeep, AppState::kConnected},
    {EventKind::kSilence, AppState::kSilent, kKeep, AppState::kSilent},
    {EventKind::kFailing, AppState::kFailing, kKeep, AppState::kFailing},
    {EventKind::kTerminated, AppState::kDown, AppState::kDown, AppState::kDown},
    // A launch is part of a restart: first seen, the application was down.
    {EventKind::kLaunched, AppState::kDown, kKeep, kKeep},
    {EventKind::kReconnect, AppState::kConnecting, kKeep, AppState::kConnecting},
    {EventKind::kThreadNotStarted, AppState::kNotWatched, AppState::kNotWatched,
     AppState::kNotWatched},
    // A train is data: first seen, the application was connected.
    {EventKind::kTrain, AppState::kConnected, kKeep, kKeep},
    {EventKind::kMismatch, AppState::kConnected, kKeep, kKeep},
};

constexpr const char* kStateNames[kAppStateCount] = {
    "", "connected", "connecting", "silent", "failing", "down", "not_watched",
};

}  // namespace

AppState NextState(AppState current, const Event& event) {
    if (event.kind == EventKind::kState) {
        const AppState named = StateNamed(event.state);
        return named == AppState::kNone ? current : named;
    }
    for (const StateRule& rule : kStateRules) {
        if (rule.kind == event.kind) {
            const AppState next = current == AppState::kNone   ? rule.fromNone
                                  : current == AppState::kDown ? rule.fromDown
                                                               : rule.otherwise;
            return next == kKeep ? current : next;
        }
    }
    return current;
}

bool SilenceShown(int32_t silentWaits) {
    return silentWaits > kSilentWaitsTolerated;
}

int64_t SilenceShownAtMs(int64_t beganMs) {
    return beganMs + kSilentWaitsTolerated * kWaitMs;
}

bool TerminationRestarts(AppState before) {
    return before != AppState::kDown;
}

bool IsRestart(AppState before, const Event& event) {
    return event.kind == EventKind::kTerminated && TerminationRestarts(before);
}

bool IsFlapping(int32_t restartsWithinWindow) {
    return restartsWithinWindow >= kFlappingRestarts;
}

const char* StateName(AppState state) {
    const auto i = static_cast<std::size_t>(state);
    return i < kAppStateCount ? kStateNames[i] : "";
}

AppState StateNamed(std::string_view name) {
    for (int i = 1; i < kAppStateCount; ++i) {
        if (name == kStateNames[i]) {
            return static_cast<AppState>(i);
        }
    }
    return AppState::kNone;
}

}  // namespace journal
