// Who may act through the control channel, and how long a pause may last.
// Pure: the caller's identity comes as the platform told it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "supervision/config_walk.h"
#include "supervision/control_protocol.h"

// The caller as the system named it (the daemon copies it from the channel).
struct ControlCaller {
    bool known = false;         // the system could tell who is calling
    std::string user;           // for the records
    bool isSystem = false;      // root, or LocalSystem
    bool inGroup = false;       // POSIX: of the configured group; Win32: an elevated Administrator
    bool isServerUser = false;  // the same user as the daemon's
};

struct ControlVerdict {
    bool granted = false;
    std::string message;  // when refused: one line for the operator, naming the caller
};

// Root or SYSTEM always; the control group's members on POSIX and the
// elevated Administrators on Win32; the daemon's own user only in console
// mode, where the demo runs it without rights. Anyone the system could not
// name is refused. `needed` says who may, for the refusal's message.
ControlVerdict AuthorizeControl(const ControlCaller& caller, bool consoleMode,
                                const std::string& needed);

// Who may, in words, for AuthorizeControl's refusals: POSIX "root" or "root
// or a member of group 'zelk'"; Win32 "SYSTEM or an elevated member of the
// local Administrators"; and in console mode also the daemon's user.
std::string ControlNeeded(const ControlSettings& settings, bool win32, bool consoleMode);

inline constexpr int64_t kDefaultPauseSeconds = 3600;

// The length of a pause asked for `requestedSeconds` (0: the default hour),
// or -1 when it passes the configured cap.
int64_t PauseSeconds(int64_t requestedSeconds, const ControlSettings& settings);

// The pauses in force, one per application (by its name in UTF-8), and the
// text of the state file that keeps them across restarts.
class PauseBook {
  public:
    // A new pause of `pause.app`, or a new end of the one in force.
    void Put(const PauseEntry& pause);
    // False when the application was not paused.
    bool Remove(const std::string& app);
    const PauseEntry* Find(const std::string& app) const;
    // Removes and returns the pauses whose end is at or before `nowMs`.
    std::vector<PauseEntry> TakeExpired(int64_t nowMs);
    const std::vector<PauseEntry>& Entries() const { return pauses_; }

    // One line per pause.
    std::string FileText() const;
    // The pauses of a state file still in force at `nowMs`; lines that are
    // not pauses, and pauses whose end has passed, are left out.
    static PauseBook FromFileText(std::string_view text, int64_t nowMs);

  private:
    std::vector<PauseEntry> pauses_;
};
