// The watchdog thread of one application: it owns the application's record,
// builds the watchdog with the production seams and runs it until the
// supervisor clears `running`.
#include <memory>
#include <new>

#include "daemon/daemon.h"
#include "daemon/event_log.h"
#include "daemon/platform_seams.h"
#include "daemon/status_board.h"
#include "daemon/watchdog.h"

namespace {

// Where one watchdog's events go: its log lines and, with the status
// enabled, its status record.
class ThreadSinks {
  public:
    ThreadSinks(const AppConfig& app, StatusService* status) : log_(app) {
        const int index = status != nullptr ? status->Board().IndexOf(&app) : -1;
        if (index >= 0) {
            recorder_ = std::make_unique<StatusRecorder>(status->Board(), index);
            both_ = std::make_unique<SinkPair>(log_, *recorder_);
        }
    }
    WatchdogSink& Sink() { return both_ ? static_cast<WatchdogSink&>(*both_) : log_; }

  private:
    WatchdogLog log_;
    std::unique_ptr<StatusRecorder> recorder_;
    std::unique_ptr<SinkPair> both_;
};

}  // namespace

unsigned CDaemon::WatchApplication(AppConfig* record) {
    std::unique_ptr<AppConfig> app(record);
    CDaemon* owner = app->owner;
    std::unique_ptr<ThreadSinks> sinks;
    try {
        sinks = std::make_unique<ThreadSinks>(*app, owner->status.get());
        PlatformConnection connection;
        SupervisorProcesses processes(*owner);
        DirectoryFileCounter files;
        PlatformShellRunner shell;
        PlatformClock clock;
        Watchdog watchdog(*app, owner->timings,
                          WatchdogSeams{connection, processes, files, shell, clock, sinks->Sink()});
        watchdog.Run(owner->running);
        // Leaving the scope closes the socket and releases both buffers.
    } catch (const std::bad_alloc&) {
        // Only the watchdog's own set-up can get here; the thread still ends
        // at the stop, and only then, so that the supervisor's count stays true.
        PlatformClock clock;
        WaitForStop(owner->running, clock, owner->timings);
    }
    // The last line is written before the count is lowered: once it reaches
    // zero the supervisor may return from Stop and the process may end, and
    // a line written after that could be lost.
    const WatchdogEvent exit(WatchdogEventKind::kThreadExit);
    if (sinks) {
        sinks->Sink().Report(exit);
    } else {
        WatchdogLog(*app).Report(exit);
    }
    sinks.reset();
    app.reset();
    --owner->threadCount;
    return 0;
}
