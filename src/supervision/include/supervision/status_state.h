// The state of a watched application from its status record, and whether its
// restarts make a storm: the shared rules (journal/app_state.h) applied to
// the counters the snapshot's zelk_app_state and zelkctl status both read.
#pragma once

#include <cstdint>

#include "journal/app_state.h"

struct AppStatus;

// The state of `app`, in this precedence: not watched, down, failing,
// silent, connecting, connected. Never kNone.
journal::AppState StateOf(const AppStatus& app);

// True when the application's restarts of the last hour make a storm.
bool IsFlapping(const AppStatus& app);
