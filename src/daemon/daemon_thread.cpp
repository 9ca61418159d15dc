// The watchdog thread of one application: it owns the application's record,
// builds the watchdog with the production seams and runs it until the
// supervisor clears `running`.
#include <memory>
#include <new>

#include "daemon/event_log.h"
#include "daemon/evidence_writer.h"
#include "daemon/platform_seams.h"
#include "daemon/watchdog.h"
#include "daemon/watchdog_thread.h"

namespace {

// Where one watchdog's events go: its log lines first, then the supervisor's
// other consumers.
class ThreadSink final : public WatchdogSink {
  public:
    explicit ThreadSink(WatchdogThreadContext& context)
        : log_(*context.app, ProcessOutput()), hub_(context.events.SinkFor(context.index)) {}
    void Report(const WatchdogEvent& event) override {
        try {
            log_.Report(event);
        } catch (const std::bad_alloc&) {
            // The line is lost; the supervisor's consumers still hear it.
        }
        hub_.Report(event);
    }

  private:
    WatchdogLog log_;
    WatchdogSink& hub_;
};

}  // namespace

unsigned WatchApplication(WatchdogThreadContext* started) {
    std::unique_ptr<WatchdogThreadContext> context(started);
    const AppConfig& app = *context->app;
    std::unique_ptr<ThreadSink> sink;
    try {
        sink = std::make_unique<ThreadSink>(*context);
        PlatformConnection connection;
        SupervisorProcesses processes;
        DirectoryFileCounter files;
        PlatformShellRunner shell;
        PlatformClock clock;
        WatchdogSeams seams{connection, processes, files, shell, clock, *sink, context->orders};
        std::unique_ptr<EvidenceWriter> evidence;
        if (!context->evidence.folder.empty()) {
            evidence = std::make_unique<EvidenceWriter>(context->evidence);
            seams.evidence = evidence.get();
        }
        Watchdog watchdog(app, context->timings, seams);
        watchdog.Run(context->running);
        // Leaving the scope closes the socket and releases both buffers.
    } catch (const std::bad_alloc&) {
        // Only the watchdog's own set-up can get here. The application is
        // not watched, as when its buffers are missing, and the supervisor's
        // consumers are told so; the thread still ends at the stop, and only
        // then, so that the supervisor's count stays true.
        try {
            const WatchdogEvent missing(watchdog_event::BuffersMissing{});
            if (sink) {
                sink->Report(missing);
            } else {
                context->events.SinkFor(context->index).Report(missing);
            }
        } catch (const std::bad_alloc&) {
        }
        PlatformClock clock;
        WaitForStop(context->running, clock, context->timings);
    }
    // The last line is written before the count is lowered: once it reaches
    // zero the supervisor may return from Stop and the process may end, and
    // a line written after that could be lost.
    const WatchdogEvent exit(watchdog_event::ThreadExit{});
    if (sink) {
        sink->Report(exit);
    } else {
        WatchdogLog(app, ProcessOutput()).Report(exit);
        context->events.SinkFor(context->index).Report(exit);
    }
    std::atomic<int32_t>& threadCount = context->threadCount;
    std::atomic<bool>* ended = context->ended;
    sink.reset();
    context.reset();
    if (ended != nullptr) {
        ended->store(true);
    }
    --threadCount;
    return 0;
}
