#include "supervision/control_rules.h"

ControlVerdict AuthorizeControl(const ControlCaller& caller, bool consoleMode,
                                const std::string& needed) {
    ControlVerdict verdict;
    if (!caller.known) {
        verdict.message = "refused: the system could not tell who is calling";
        return verdict;
    }
    verdict.granted =
        caller.isSystem || caller.inGroup || (consoleMode && caller.isServerUser);
    if (!verdict.granted) {
        verdict.message = "refused: user '" + caller.user +
                          "' may not control ZELK_Daemon (it takes " + needed + ")";
    }
    return verdict;
}

std::string ControlNeeded(const ControlSettings& settings, bool win32, bool consoleMode) {
    std::string needed;
    if (win32) {
        needed = "SYSTEM or an elevated member of the local Administrators";
    } else if (settings.group.empty()) {
        needed = "root";
    } else {
        needed = "root or a member of group '" + settings.group + "'";
    }
    return consoleMode ? needed + ", or the user running it" : needed;
}

int64_t PauseSeconds(int64_t requestedSeconds, const ControlSettings& settings) {
    const int64_t seconds = requestedSeconds > 0 ? requestedSeconds : kDefaultPauseSeconds;
    const int64_t cap = static_cast<int64_t>(settings.maxPauseHours) * 3600;
    return seconds > cap ? -1 : seconds;
}
