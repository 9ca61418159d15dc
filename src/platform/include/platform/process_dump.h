// Writing a dump of a running process to a file, as evidence of why it hung,
// and the version of an executable file for the text beside the dump. The
// process is left running: the caller terminates it afterwards as it would
// have without the dump. Every call may run on several threads at once.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// How long a dump may take before it is abandoned.
constexpr uint32_t kDumpTimeLimitMs = 30000;
// A dump's size when the caller sets no bound.
constexpr uint64_t kUnboundedDumpBytes = UINT64_MAX;

// Win32: a minidump with the threads, modules, handles, unloaded modules and
// the memory map (kMini), plus all the process's memory (kFull). POSIX: a
// core file of gdb's gcore, of the memory the process's coredump_filter
// names (its anonymous memory: stacks and heap; kMini), or of every mapping,
// the files' too (kFull).
enum class DumpKind { kMini, kFull };

enum class DumpResult {
    kWritten,
    kTimedOut,  // abandoned at the time limit; the partial file is removed (see WriteProcessDump)
    kFailed,    // `error` holds the platform's code; no file is left
    kTooLarge,  // it would have grown past the caller's bound; no file is left
    kNotAvailable,  // no dump writer on this system (Win32: dbghelp.dll or its
                    // MiniDumpWriteDump missing; POSIX: gcore not found along PATH)
};

struct DumpOutcome {
    DumpResult result = DumpResult::kFailed;
    int32_t error = 0;          // the platform's code, for kFailed
    uint64_t bytes = 0;         // the dump's size, for kWritten
    uint32_t milliseconds = 0;  // from the call to its return
};

// Writes a dump of process `processId` to `path`, a new file created only
// when no file, folder or link of that name exists (never following a link:
// a taken name is kFailed with the platform's "exists" code), so that a name
// the caller chose in a folder others can write to cannot be planted. The
// file appears under `path` only once complete (POSIX) or is removed unless
// complete (Win32, also when this process dies meanwhile), and is readable by
// its owner only (POSIX).
//
// A dump that would grow past `maxBytes` is abandoned, or not begun when
// its size is known beforehand, and kTooLarge returned: a process of a huge
// address space cannot fill the disk. POSIX: gdb may write no more than that
// to any file (its file-size limit). Win32: a full dump is not begun when the
// process's committed memory alone is larger; the file's size is watched while
// it is written and the dump cancelled as at the time limit.
//
// Past `timeLimitMs` the dump is abandoned and kTimedOut returned. POSIX:
// gcore's process group is killed and the process sent SIGCONT, in case gdb
// left it stopped. Win32: the dump runs on a thread of its own that cannot
// be stopped safely from outside; the writer cancels it where dbghelp asks
// and, when the dump reads from a snapshot, ends the snapshot's clone so that
// its reads fail, then waits up to 2 s more for the thread. A dump of the
// live process (systems without process snapshots: before Windows 8.1, and
// Wine) goes on until that process ends; its file is removed then, when
// its thread stops.
DumpOutcome WriteProcessDump(uint32_t processId, const std::string& path, DumpKind kind,
                             uint32_t timeLimitMs = kDumpTimeLimitMs,
                             uint64_t maxBytes = kUnboundedDumpBytes);

// One line that tells which build the executable `path` is, for the text
// beside a dump; empty when nothing can be read. Win32: the file version of
// its version resource ("1.2.3.4"). POSIX, which has no version resource:
// its GNU build id when it has one (what gdb matches a core with) and its
// size and modification time ("build-id 4f0a..., 123456 bytes, modified
// 2026-12-09T10:00:00Z").
std::string ExecutableVersion(const std::string& path);

}  // namespace platform
