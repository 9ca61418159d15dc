// Everything a watchdog reaches outside itself, each behind a small
// interface: its connection, process control, the result folders, the shell
// and time. Production implementations are in platform_seams.h; tests pass
// fakes that record calls and script results.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "daemon/app_config.h"

// How a wait for readability ended.
enum class ConnectionWait {
    kReadable,       // data, an orderly close or a reset: the read tells which
    kTimedOut,       // nothing within the time
    kFailed,         // the wait itself failed
    kConnectFailed,  // ended early, only because the connect failed: the
                     // caller sits out the rest of the wait (as Windows,
                     // which never reports such a socket, would)
};

// The watchdog's TCP connection to its application; it is only ever read.
class Connection {
  public:
    virtual ~Connection() = default;
    // Creates a socket and issues a non-blocking connect to `address`. False
    // when no socket could be created (`*error` tells why); every wait then
    // fails at once.
    virtual bool Open(const Ipv4SocketAddress& address, int32_t* error) = 0;
    // Waits up to `milliseconds`; every wait gets its full time.
    virtual ConnectionWait Wait(unsigned milliseconds) = 0;
    // One read of at most `capacity` bytes: the count, or 0 or less when the
    // peer closed the connection or it failed.
    virtual int Read(char* buffer, int capacity) = 0;
    // Closes the socket, if one is open.
    virtual void Close() = 0;
    // The code the watchdog's log lines show: the thread's last socket error
    // at this moment.
    virtual int32_t LastError() const = 0;
};

// Terminating and launching the application (CDaemon::CloseExe, OpenExe).
// Their results are not looked at by the watchdog.
class ProcessControl {
  public:
    virtual ~ProcessControl() = default;
    virtual int CloseExe(const std::string& name) = 0;
    virtual int OpenExe(const std::string& path) = 0;
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
    // Starts `command` without waiting for it; the outcome is not reported.
    virtual void Run(const std::string& command) = 0;
};

// Time as the watchdog sees it: a clock that never goes back, and sleeps.
class WatchdogClock {
  public:
    virtual ~WatchdogClock() = default;
    virtual int64_t NowMs() = 0;
    virtual void SleepMs(unsigned milliseconds) = 0;
};
