// The production side of the watchdog's seams: the platform's socket, the
// supervisor's process control, the real result folders, the system's shell
// and the system's clock.
#pragma once

#include <string>

#include "daemon/watchdog_seams.h"
#include "platform/tcp_client.h"

class CDaemon;

class PlatformConnection final : public Connection {
  public:
    bool Open(const Ipv4SocketAddress& address, int32_t* error) override;
    ConnectionWait Wait(unsigned milliseconds) override;
    int Read(char* buffer, int capacity) override;
    void Close() override;
    int32_t LastError() const override;

  private:
    platform::TcpClient socket_;
};

// CloseExe and OpenExe of the supervisor that started the thread.
class SupervisorProcesses final : public ProcessControl {
  public:
    explicit SupervisorProcesses(CDaemon& owner) : owner_(owner) {}
    int CloseExe(const std::string& name) override;
    int OpenExe(const std::string& path) override;

  private:
    CDaemon& owner_;
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
    void Run(const std::string& command) override;
};

class PlatformClock final : public WatchdogClock {
  public:
    int64_t NowMs() override;
    void SleepMs(unsigned milliseconds) override;
};
