// The supervisor's words: every log line and console line that src/daemon
// writes is composed here, from the watchdogs' events (WatchdogLog, in
// watchdog_log.h) and from CDaemon's own steps (the supervisor_log
// functions). Nothing else in the supervisor writes to the log or the console.
#pragma once

#include <cstdint>
#include <string>

#include "supervision/watchdog_log.h"

// The process's log (WriteLog) and standard output.
LineOutput& ProcessOutput();

// CDaemon's own lines, each under the name of the member that writes it.
namespace supervisor_log {
void Created();                     // CDaemon::CDaemon
void Destroyed();                   // CDaemon::~CDaemon
void Started();                     // CDaemon::Start
void ConfigOutOfMemory(int taken);  // CDaemon::Start
void StopWaiting();                 // CDaemon::Stop, the three lines in order
void StopThreadsOver();
void Stopped();
void SessionChosen(uint32_t session);  // CDaemon::OpenExe
void UserTokenFailed(int32_t error);
void Launched(const std::string& path, bool created, int32_t error);
void Terminated(const std::string& name, bool terminated, int32_t error);  // CDaemon::CloseExe
void JournalLinesDropped(const std::string& folder, std::size_t lines);    // JournalService::Run
void JournalClockJumped(const std::string& folder, const std::string& from, const std::string& to);
void JournalStopGivenUp(const std::string& folder, std::size_t lines,
                        int64_t waitedMs);  // JournalService::Stop
}  // namespace supervisor_log

// One writer's failures as the log tells them: the first failure of a streak
// and the first success after it, each once, as warnings under `function`
// ("<what> <path> not written; ...", "<what> <path> written again").
class WriteStreak {
  public:
    WriteStreak(const char* function, const char* what);
    // Notes the outcome of one write of `path`; `error`: the platform's code.
    void Note(bool written, const std::string& path, int32_t error);
    bool Failing() const { return failing_; }

  private:
    const char* function_;
    const char* what_;
    bool failing_ = false;
};
