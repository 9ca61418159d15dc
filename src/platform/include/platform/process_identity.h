// Which process is which over time: a process id names another process once
// its owner has ended, so a process is told by its id and its start.
#pragma once

#include <cstdint>

namespace platform {

// The calling process: its id, and its start as the system tells it (Linux:
// clock ticks after boot, /proc/self/stat; Win32: microseconds since the
// epoch, GetProcessTimes). `start` is 0 when the system does not tell.
struct ProcessIdentity {
    uint32_t id = 0;
    uint64_t start = 0;
};
ProcessIdentity OwnProcess();

enum class ProcessLiveness {
    kRuns,     // a process of that id and start runs
    kGone,     // none does: it ended, or its id now names another process
    kUnknown,  // the system does not tell (no /proc, no right to ask)
};

// Whether the process `identity` names (as OwnProcess gave it, on this host)
// still runs. With a `start` of 0 only the id is asked after.
ProcessLiveness ProcessRuns(const ProcessIdentity& identity);

}  // namespace platform
