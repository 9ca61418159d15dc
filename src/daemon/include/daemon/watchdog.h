// The watchdog of one application: it keeps a connection to the application,
// counts silent waits and failed reads (watchdog_state.h), terminates,
// launches and reconnects at the fixed counts, and hands received bytes to
// the message framing, the train handling and the sub-application commands.
// Everything outside it comes through its seams and everything it does is
// reported to its sink, so the whole loop runs in tests with fakes.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "daemon/connection.h"
#include "daemon/timings.h"
#include "supervision/app_config.h"
#include "supervision/command_state.h"
#include "supervision/framing.h"
#include "supervision/watchdog_events.h"
#include "supervision/watchdog_seams.h"
#include "supervision/watchdog_state.h"

// One read's bytes; a read takes one byte less, so a terminating zero fits.
constexpr std::size_t kReceiveBufferBytes = 10485760;

// What the control channel asks of one watchdog: written by the control
// thread, followed by the watchdog at the start of each pass.
struct WatchdogOrders {
    std::atomic<bool> paused{false};    // maintenance
    std::atomic<uint32_t> restarts{0};  // raised once per restart asked for
};

struct WatchdogSeams {
    Connection& connection;
    ProcessControl& processes;
    FileCounter& files;
    ShellRunner& shell;
    WatchdogClock& clock;
    WatchdogSink& sink;
    const WatchdogOrders* orders = nullptr;  // none: nobody controls it
};

// Sleeps a read wait at a time until `running` is found false: what a
// watchdog thread that cannot watch does, so that the supervisor's count of
// threads stays true until the stop.
void WaitForStop(const std::atomic<bool>& running, WatchdogClock& clock,
                 const DaemonTimings& timings);

class Watchdog {
  public:
    // Obtains both buffers (the product's sizes unless a test asks for
    // others); Run reports when they could not be had. `app` and the seams
    // must outlive the watchdog.
    Watchdog(const AppConfig& app, const DaemonTimings& timings, const WatchdogSeams& seams,
             std::size_t receiveBytes = kReceiveBufferBytes,
             std::size_t messageBytes = kMessageBufferBytes);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Reports the thread's start, then watches until `running` is found false
    // at the start of a pass, and closes the connection. A pass (or a step
    // before the first) that runs out of memory is reported and given up; the
    // next pass follows. Without its buffers the watchdog only waits for the
    // stop. No exception leaves the call.
    void Run(const std::atomic<bool>& running);

  private:
    class ReceiveBuffer;
    class Stamping;

    // Runs `step`; when it runs out of memory, reports that instead.
    template <typename Step>
    void Guarded(Step step);
    void BeginConnectionAttempt();
    void Pass();
    // Takes up a pause, a resume or a restart the control channel asked for.
    void FollowOrders();
    void CarryOut(const WatchdogActions& actions, int received);
    void Terminate(Cycle cycle);
    void Launch(Cycle cycle);
    void HandleReceived(int received);

    const AppConfig& app_;
    const DaemonTimings timings_;
    WatchdogSeams seams_;
    // The sink every event goes through: it adds the state the event left.
    std::unique_ptr<Stamping> sink_;
    WatchdogState state_;
    std::unique_ptr<ReceiveBuffer> receive_;
    MessageFramer framer_;
    // The sub-application's command state; reset with every new connection
    // attempt, so a reconnection cancels a pending install.
    CommandState commands_;
    uint32_t restartsDone_ = 0;
};
