// Tells the service manager at a steady pace that the service is still well,
// for as long as a health question answers yes: once a question answers no,
// the pings stop and the service manager's watchdog ends the service.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

class AlivePinger {
  public:
    AlivePinger() = default;
    AlivePinger(const AlivePinger&) = delete;
    AlivePinger& operator=(const AlivePinger&) = delete;
    ~AlivePinger() { Stop(); }

    // Starts a thread that asks `healthy` at once and then every `everyMs`
    // milliseconds, and calls `ping` each time it answers yes. A thread
    // already running is stopped first; `everyMs` 0 starts none.
    void Start(uint32_t everyMs, std::function<bool()> healthy, std::function<void()> ping);

    // Stops the thread and waits for it; returns at once when none runs.
    // Not to be called from `healthy` or `ping`.
    void Stop();

  private:
    std::mutex lock_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};
