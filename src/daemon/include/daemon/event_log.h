// The supervisor's words: every log line and console line that src/daemon
// writes is composed here, from the watchdogs' events (WatchdogLog) and from
// CDaemon's own steps (the supervisor_log functions). Nothing else in the
// supervisor writes to the log or the console.
#pragma once

#include <cstdint>
#include <string>

#include "daemon/app_config.h"
#include "daemon/watchdog_events.h"

// Where the lines go: the log writer and standard output in production, a
// recorder in tests.
class LineOutput {
  public:
    virtual ~LineOutput() = default;
    // One log line (see WriteLog); `message` is written as it is.
    virtual void Log(int level, int line, const char* function, int32_t code,
                     const std::string& message) = 0;
    // One line of standard output (the line end is added).
    virtual void Print(const std::string& text) = 0;
};

// The process's log (WriteLog) and standard output.
LineOutput& ProcessOutput();

// Turns one watchdog's events into its log lines, written under the name of
// the thread procedure, and its console lines.
class WatchdogLog final : public WatchdogSink {
  public:
    explicit WatchdogLog(const AppConfig& app, LineOutput& output = ProcessOutput());
    void Report(const WatchdogEvent& event) override;

  private:
    const AppConfig& app_;
    LineOutput& output_;
};

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
void StatusNotWritten(const std::string& path, int32_t error);             // CDaemon::WriteStatus
void StatusWrittenAgain(const std::string& path);
}  // namespace supervisor_log
