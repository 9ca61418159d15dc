#include "daemon/daemon.h"

#include <utility>

#include "daemon/control_service.h"
#include "daemon/event_log.h"
#include "daemon/journal_writer.h"
#include "daemon/platform_config.h"
#include "daemon/platform_seams.h"
#include "daemon/process_control.h"
#include "daemon/status_writer.h"
#include "daemon/watchdog_thread.h"
#include "markup/markup.h"
#include "platform/socket_library.h"
#include "platform/system.h"
#include "supervision/config_check.h"
#include "supervision/config_walk.h"
#include "supervision/event_hub.h"
#include "supervision/status_board.h"
#include "zelk/version.h"

namespace {
// Changed only while objects are built and destroyed on the controlling
// thread; atomic all the same, since tests build objects on other threads.
std::atomic<int32_t> g_instanceCount{0};

CDaemon::SocketLibraryHooks g_socketLibrary = {platform::SocketLibraryStartup,
                                               platform::SocketLibraryCleanup};

CDaemon::ThreadStarter g_startThread = platform::StartThread;

constexpr unsigned kStopPollMs = 1;

int64_t WallMs() {
    return platform::CurrentTimeMs();
}

// The status board's side of the events.
class StatusConsumer final : public EventConsumer {
  public:
    explicit StatusConsumer(StatusBoard& board) : board_(board) {}
    void OnAppEvent(const AppIdentity& app, const WatchdogEvent& event, int64_t) override {
        board_.Apply(app.index, event);
    }
    void OnDaemonEvent(const DaemonEvent& event, int64_t) override {
        if (const auto* pitfalls = std::get_if<daemon_event::ConfigPitfalls>(&event)) {
            board_.SetConfig(true, pitfalls->Count());
        } else if (const auto* control = std::get_if<daemon_event::Control>(&event)) {
            board_.ApplyControl(*control);
        }
    }

  private:
    StatusBoard& board_;
};

}  // namespace

CDaemon::CDaemon()
    : running(false),
      threadCount(0),
      events(std::make_unique<EventHub>(WallMs, platform::MonotonicMs)) {
    threads.fill(nullptr);
    if (g_instanceCount.load() == 0) {
        g_socketLibrary.startup();
    }
    ++g_instanceCount;
    supervisor_log::Created();
}

CDaemon::~CDaemon() {
    Stop();
    --g_instanceCount;
    supervisor_log::Destroyed();
    if (g_instanceCount.load() == 0) {
        g_socketLibrary.cleanup();
    }
}

int32_t CDaemon::InstanceCount() {
    return g_instanceCount.load();
}

CDaemon::SocketLibraryHooks CDaemon::SetSocketLibraryHooks(SocketLibraryHooks hooks) {
    SocketLibraryHooks previous = g_socketLibrary;
    g_socketLibrary = hooks;
    return previous;
}

CDaemon::ThreadStarter CDaemon::SetThreadStarter(ThreadStarter starter) {
    ThreadStarter previous = g_startThread;
    g_startThread = starter;
    return previous;
}

void CDaemon::Init() {
    Init(platform::FolderOf(platform::ExecutablePath()));
}

void CDaemon::Init(const std::string& moduleFolder) {
    threads.fill(nullptr);
    configPath = moduleFolder + "config.xml";
}

void CDaemon::ServeControl(const std::string& channel, bool consoleMode) {
    controlChannel = channel;
    controlConsole = consoleMode;
}

void CDaemon::AddEventConsumer(EventConsumer* consumer) {
    extraConsumers.push_back(consumer);
}

unsigned CDaemon::DaemonThread(void* context) {
    return WatchApplication(static_cast<WatchdogThreadContext*>(context));
}

bool CDaemon::StartApplications() {
    for (EventConsumer* consumer : extraConsumers) {
        events->AddConsumer(consumer);
    }
    int index = 0;
    bool outOfMemory = false;
    int taken = WalkConfigFile(
        configPath, PlatformFacts(),
        [this, &index](std::unique_ptr<AppConfig> app) {
            StartApplication(index++, std::move(app));
            // The pause comes after the last application too.
            platform::SleepMs(timings.threadStartPauseMs);
        },
        &outOfMemory,
        [this](CXmlDocument& document, bool loaded) {
            // The consumers config.xml asks for first, so that they see it all.
            if (loaded) {
                StartOptions(document);
            }
            const std::string report = document.GetResultReport();
            if (loaded) {
                events->Report(daemon_event::ConfigLoaded{configPath, report});
                ReportPitfalls(document);
            } else {
                events->Report(daemon_event::ConfigNotLoaded{configPath, report});
            }
            AnnounceStart(loaded ? CountConfigApps(document) : 0);
        });
    if (outOfMemory) {
        supervisor_log::ConfigOutOfMemory(taken);
    }
    if (control) {
        control->Start();
    }
    AnnounceStart(taken);
    return taken > 0;
}

void CDaemon::AnnounceStart(int applications) {
    if (startAnnounced) {
        return;
    }
    startAnnounced = true;
    events->Report(daemon_event::Started{applications, kZelkVersion});
}

void CDaemon::ReportPitfalls(CXmlDocument& document) {
    if (!events->HasConsumers()) {
        return;  // nobody to tell: the check is not worth its file-system probes
    }
    PlatformConfigProbe probe;
    const ConfigCheck check = CheckConfigDocument(document, platform::FolderOf(configPath), probe);
    if (check.findings.empty()) {
        return;
    }
    // As zelkctl check prints them.
    const std::vector<std::string> findings = FindingLines(check);
    events->Report(
        daemon_event::ConfigPitfalls{findings, static_cast<int32_t>(check.findings.size())});
}

void CDaemon::StartOptions(CXmlDocument& document) {
    const std::string configFolder = platform::FolderOf(configPath);
    const std::string folder = StatusFolder(document, configFolder, PlatformFacts());
    if (!folder.empty()) {
        // The writer makes a missing folder first, so the check finds it.
        status = std::make_unique<StatusService>(folder, platform::CurrentTime());
        status->Board().SetConfig(true, 0);
        if (status->Start()) {
            auto consumer = std::make_unique<StatusConsumer>(status->Board());
            events->AddConsumer(consumer.get());
            statusConsumer = std::move(consumer);
        } else {
            status.reset();
        }
    }
    if (!controlChannel.empty()) {
        control = std::make_unique<ControlService>(controlChannel, controlConsole,
                                                   ControlSettingsOf(document),
                                                   configFolder + "control.state", *events);
    }
    evidence = EvidenceSettingsOf(document, configFolder, PlatformFacts());
    const JournalSettings journalSettings =
        JournalSettingsOf(document, configFolder, PlatformFacts());
    if (!journalSettings.folder.empty()) {
        journal = std::make_unique<JournalService>(journalSettings);
        if (journal->Start()) {
            events->AddConsumer(journal.get());
        } else {
            journal.reset();
        }
    }
}

void CDaemon::StartApplication(int index, std::unique_ptr<AppConfig> app) {
    app->owner = this;
    events->AddApp(index, *app);
    if (status) {
        status->Board().Add(*app, index);
    }
    WatchdogOrders* ordered = nullptr;
    if (control) {
        ordered = &orders[static_cast<size_t>(index)];
        control->AddApp(index, app->name, *ordered);
    }
    running.store(true);
    auto context = std::unique_ptr<WatchdogThreadContext>(new WatchdogThreadContext{
        std::move(app), index, running, threadCount, timings, *events, ordered, evidence});
    // Counted before the thread runs, so that a thread that ends at once
    // never takes the count below zero.
    ++threadCount;
    platform::ThreadHandle handle = g_startThread(&DaemonThread, context.get());
    threads[static_cast<size_t>(index)] = handle;
    if (handle == nullptr) {
        --threadCount;
        // The thread never ran; nothing is logged, but the others are told.
        events->Report(index, watchdog_event::ThreadNotStarted{});
        return;
    }
    context.release();  // the thread's now
}

bool CDaemon::Start() {
    startAnnounced = false;
    stopAnnounced = false;
    bool taken = StartApplications();
    supervisor_log::Started();
    return taken;
}

bool CDaemon::WatchdogsAlive(int64_t withinMs) const {
    return events->WatchdogsAlive(withinMs);
}

bool CDaemon::Stop() {
    if (control) {
        control->Stop();  // no order reaches a watchdog that is ending
    }
    running.store(false);
    // A second Stop (the destructor's) says nothing new to the consumers.
    const bool announce = !stopAnnounced;
    stopAnnounced = true;
    if (announce) {
        events->Report(daemon_event::Stopping{});
    }
    supervisor_log::StopWaiting();
    while (threadCount.load() > 0) {
        platform::SleepMs(kStopPollMs);
    }
    supervisor_log::StopThreadsOver();
    for (platform::ThreadHandle& handle : threads) {
        if (handle != nullptr) {
            platform::CloseThreadHandle(handle);
            handle = nullptr;
        }
    }
    if (announce) {
        events->Report(daemon_event::Stopped{events->AppCount(), kZelkVersion});
    }
    if (status) {
        // The last snapshot, with every watchdog ended.
        status->Stop();
    }
    if (journal) {
        journal->Stop();  // what is queued is written first
    }
    supervisor_log::Stopped();
    return true;
}

int CDaemon::OpenExe(std::string path) {
    return LaunchInUserSession(path).started ? 1 : 0;
}

int CDaemon::CloseExe(std::string name) {
    return TerminateProcessesNamed(name).result;
}

void CDaemon::CountFiles(std::string folder, std::string extension, std::vector<std::string>& list,
                         std::string key) {
    CountMatchingFiles(std::move(folder), std::move(extension), list, std::move(key));
}
