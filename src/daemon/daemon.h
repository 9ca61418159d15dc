// CDaemon: the supervisor. It owns one watchdog thread per configured
// application, starts them from config.xml and stops them on request.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "daemon/app_config.h"
#include "platform/threads.h"

class CDaemon {
  public:
    // Starts the socket library if this is the first instance; logs.
    CDaemon();
    // Stops (again), and ends the socket library if this is the last instance.
    ~CDaemon();
    CDaemon(const CDaemon&) = delete;
    CDaemon& operator=(const CDaemon&) = delete;

    // Clears the thread table and sets the configuration path to "config.xml"
    // in the executable's folder.
    void Init();
    // The same with another module folder (its trailing separator included),
    // for tests.
    void Init(const std::string& moduleFolder);

    // Reads the configuration and starts one watchdog thread per application.
    // True if at least one application entry was taken.
    bool Start();

    // Clears `running` and waits, with no time limit, until every watchdog
    // thread has ended; then closes the thread handles. Always true.
    bool Stop();

    const std::string& ConfigPath() const { return configPath; }
    bool IsRunning() const { return running.load(); }
    int32_t ThreadCount() const { return threadCount.load(); }

    // Number of CDaemon objects alive in the process.
    static int32_t InstanceCount();

    // The socket library's start-up and clean-up, replaceable by tests that
    // count the calls.
    struct SocketLibraryHooks {
        void (*startup)();
        void (*cleanup)();
    };
    static SocketLibraryHooks SetSocketLibraryHooks(SocketLibraryHooks hooks);

  private:
    // Walks the configuration file and starts the watchdog threads; true if
    // an application entry was taken. No application is read yet.
    bool StartApplications();

    std::string configPath;
    std::atomic<bool> running;
    std::atomic<int32_t> threadCount;
    std::array<platform::ThreadHandle, kMaxApplications> threads;
};
