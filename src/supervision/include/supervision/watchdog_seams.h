// What a watchdog and its units reach outside themselves, each behind a small
// interface: process control, the result folders, the shell and time (the
// connection is in connection.h). Production implementations are in platform_seams.h; tests pass
// fakes that record calls and script results.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "supervision/app_config.h"
#include "supervision/watchdog_events.h"

// What terminating an application's processes did.
struct TerminateOutcome {
    int result = 0;         // as CloseExe: -1 empty name, 0 none matched or one failed, 1 all
    int32_t processes = 0;  // processes actually terminated
};

// What launching an application did.
struct LaunchOutcome {
    bool started = false;
    int32_t error = 0;      // the platform's error code when not started
    uint32_t session = 0;   // the session it was launched into
    bool userFound = true;  // false: no user logged on in that session to launch for
};

// Terminating and launching the application. The watchdog reports what they
// did; its counting goes on whatever they did.
class ProcessControl {
  public:
    virtual ~ProcessControl() = default;
    virtual TerminateOutcome Terminate(const std::string& name) = 0;
    virtual LaunchOutcome Launch(const std::string& path) = 0;
};

// What the watchdog holds of a silent application when its termination row
// is reached, for the text beside its dumps.
struct EvidenceRequest {
    Cycle cycle = Cycle::kNone;  // the cycle whose row terminates
    int32_t count = 0;           // its count: the row's
    // Milliseconds on the watchdog's clock since the last data was received
    // (-1: none on this connection) and the tail of that read's bytes, as
    // they came.
    int64_t lastMessageAgeMs = -1;
    std::string lastMessage;
};

// One dump EvidenceTaker made or tried to make, as ev::Evidence tells it.
struct EvidenceRecord {
    std::string path;
    uint64_t bytes = 0;
    uint32_t milliseconds = 0;
    EvidenceResult result = EvidenceResult::kFailed;
    int32_t error = 0;
    bool streakStart = false;
};

// Writing a dump of every process of the application's name before it is
// terminated (only when config.xml asks for evidence). Returns what became
// of each; whatever it returns, the termination follows. It must return
// within the dump writer's time limit per process.
class EvidenceTaker {
  public:
    virtual ~EvidenceTaker() = default;
    virtual std::vector<EvidenceRecord> TakeEvidence(const AppConfig& app,
                                                     const EvidenceRequest& request) = 0;
};

using FileList = std::vector<std::string>;

// How the result-file checks reach the file system.
class FileCounter {
  public:
    virtual ~FileCounter() = default;
    // Appends to `list` the full path of every entry of `folder` (files and
    // sub-folders alike) whose name ends in "." and `extension` (letter case
    // ignored; an empty extension takes every entry), contains "L001" and,
    // when `key` is not empty, contains `key` (both tests exact, anywhere in
    // the name). A missing or unreadable folder adds nothing.
    virtual void CountFiles(const std::string& folder, const std::string& extension, FileList& list,
                            const std::string& key) = 0;
};

// How the sub-application commands reach the shell.
class ShellRunner {
  public:
    virtual ~ShellRunner() = default;
    // Starts `command` without waiting for it. True when the shell took it,
    // with the shell's answer in `*code`; whether it then ran is not known.
    virtual bool Run(const std::string& command, int32_t* code) = 0;
};

// Time as the watchdog sees it: a clock that never goes back, and sleeps.
class WatchdogClock {
  public:
    virtual ~WatchdogClock() = default;
    virtual int64_t NowMs() = 0;
    virtual void SleepMs(unsigned milliseconds) = 0;
};
