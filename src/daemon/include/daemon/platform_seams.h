// The production side of the watchdog's seams: the platform's socket, the
// supervisor's process control, the real result folders, the system's shell
// and the system's clock. Those of the configuration check are in
// platform_config.h.
#pragma once

#include <string>

#include "daemon/connection.h"
#include "platform/tcp_client.h"
#include "supervision/watchdog_seams.h"

class PlatformConnection final : public Connection {
  public:
    bool Open(const Ipv4SocketAddress& address, int32_t* error) override;
    platform::WaitOutcome Wait(unsigned milliseconds) override;
    int Read(char* buffer, int capacity) override;
    void Close() override;
    int32_t LastError() const override;

  private:
    platform::TcpClient socket_;
};

// The supervisor's process control (process_control.h).
class SupervisorProcesses final : public ProcessControl {
  public:
    TerminateOutcome Terminate(const std::string& name) override;
    LaunchOutcome Launch(const std::string& path) override;
};

// The file system, through CountMatchingFiles.
class DirectoryFileCounter final : public FileCounter {
  public:
    void CountFiles(const std::string& folder, const std::string& extension, FileList& list,
                    const std::string& key) override;
};

// The system's shell (platform::RunShellCommand).
class PlatformShellRunner final : public ShellRunner {
  public:
    bool Run(const std::string& command, int32_t* code) override;
};

// The file system's FileCounter::CountFiles (see watchdog_seams.h); also what
// CDaemon::CountFiles does. Keeps no state: several threads may call it at once.
void CountMatchingFiles(std::string folder, std::string extension, FileList& list, std::string key);

class PlatformClock final : public WatchdogClock {
  public:
    int64_t NowMs() override;
    void SleepMs(unsigned milliseconds) override;
};
