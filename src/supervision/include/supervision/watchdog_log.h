// A watchdog's log and console lines, composed from its events; where the
// lines go is the caller's (the process's log and standard output, or a
// recorder in tests).
#pragma once

#include <cstdint>
#include <string>

#include "supervision/app_config.h"
#include "supervision/watchdog_events.h"

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

// Turns one watchdog's events into its log lines, written under the name of
// the thread procedure, and its console lines.
class WatchdogLog final : public WatchdogSink {
  public:
    WatchdogLog(const AppConfig& app, LineOutput& output);
    void Report(const WatchdogEvent& event) override;

  private:
    const AppConfig& app_;
    LineOutput& output_;
};
