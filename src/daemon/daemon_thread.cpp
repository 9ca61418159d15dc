// The watchdog thread of one application: it owns the application's record,
// builds the watchdog with the production seams and runs it until the
// supervisor clears `running`.
#include <memory>
#include <new>

#include "daemon/daemon.h"
#include "daemon/event_log.h"
#include "daemon/platform_seams.h"
#include "daemon/watchdog.h"

namespace {

void WaitForStop(const std::atomic<bool>& running, const DaemonTimings& timings) {
    while (running.load()) {
        PlatformClock().SleepMs(timings.readWaitMs);
    }
}

}  // namespace

unsigned CDaemon::WatchApplication(AppConfig* record) {
    std::unique_ptr<AppConfig> app(record);
    CDaemon* owner = app->owner;
    WatchdogLog log(*app);
    try {
        PlatformConnection connection;
        SupervisorProcesses processes(*owner);
        DirectoryFileCounter files;
        PlatformShellRunner shell;
        PlatformClock clock;
        Watchdog watchdog(*app, owner->timings,
                          WatchdogSeams{connection, processes, files, shell, clock, log});
        watchdog.Run(owner->running);
        // Leaving the scope closes the socket and releases both buffers.
    } catch (const std::bad_alloc&) {
        // Only the watchdog's own set-up can get here; the thread still ends
        // at the stop, and only then, so that the supervisor's count stays true.
        WaitForStop(owner->running, owner->timings);
    }
    // The last line is written before the count is lowered: once it reaches
    // zero the supervisor may return from Stop and the process may end, and
    // a line written after that could be lost.
    log.Report(WatchdogEvent(WatchdogEventKind::kThreadExit));
    app.reset();
    --owner->threadCount;
    return 0;
}
