#include "supervision/control_rules.h"

ControlVerdict AuthorizeControl(const ControlCaller& caller, bool consoleMode,
                                const std::string& needed) {
    ControlVerdict verdict;
    if (!caller.known) {
        verdict.message = "refused: the system could not tell who is calling";
        return verdict;
    }
    verdict.granted = caller.isSystem || caller.inGroup || (consoleMode && caller.isServerUser);
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

void PauseBook::Put(const PauseEntry& pause) {
    for (PauseEntry& held : pauses_) {
        if (held.app == pause.app) {
            held = pause;
            return;
        }
    }
    pauses_.push_back(pause);
}

bool PauseBook::Remove(const std::string& app) {
    for (auto it = pauses_.begin(); it != pauses_.end(); ++it) {
        if (it->app == app) {
            pauses_.erase(it);
            return true;
        }
    }
    return false;
}

const PauseEntry* PauseBook::Find(const std::string& app) const {
    for (const PauseEntry& held : pauses_) {
        if (held.app == app) {
            return &held;
        }
    }
    return nullptr;
}

std::vector<PauseEntry> PauseBook::TakeExpired(int64_t nowMs) {
    std::vector<PauseEntry> expired;
    std::vector<PauseEntry> kept;
    for (PauseEntry& held : pauses_) {
        (held.untilMs <= nowMs ? expired : kept).push_back(std::move(held));
    }
    pauses_ = std::move(kept);
    return expired;
}

std::string PauseBook::FileText() const {
    std::string text;
    for (const PauseEntry& held : pauses_) {
        text += FormatPauseLine(held) + "\n";
    }
    return text;
}

PauseBook PauseBook::FromFileText(std::string_view text, int64_t nowMs) {
    PauseBook book;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == text.npos ? std::string_view() : text.substr(end + 1);
        PauseEntry pause;
        if (ParsePauseLine(line, &pause) && pause.untilMs > nowMs) {
            book.Put(pause);
        }
    }
    return book;
}
