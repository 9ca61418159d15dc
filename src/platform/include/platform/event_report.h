// The administrator's log of the platform: the Windows Event Log, or on
// POSIX the journal, through standard error with the syslog priority
// prefixes it reads. A report never throws and never stops the caller: one
// that cannot be made is dropped. POSIX never waits for a slow reader; Win32
// makes one local call to the event log service.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class EventType { kError, kWarning, kInformation };

// Reports one event; false when it could not be made.
// Win32: ReportEventA under the source "ZELK_Daemon" (registered on first
// use) in the Application log, with the type, the event ID `id` and the
// inserts, whose "\n" become "\r\n"; `line` is not used (the message file
// gives the text).
// POSIX: writes "<3>", "<4>" or "<6>" (error, warning, information), then
// `line` and "\n" to standard error in one write, without waiting: when the
// reader is not keeping up, the line is dropped. `line` must hold no line
// break; `id` and `inserts` are not used.
bool ReportAdministratorEvent(EventType type, uint32_t id, const std::vector<std::string>& inserts,
                              const std::string& line);

}  // namespace platform
