#include "daemon/daemon.h"

#include <utility>

#include "daemon/config_walk.h"
#include "daemon/event_log.h"
#include "daemon/file_checks.h"
#include "daemon/status_config.h"
#include "markup/markup.h"
#include "platform/socket_library.h"
#include "platform/system.h"

namespace {
// Changed only while objects are built and destroyed on the controlling
// thread; atomic all the same, since tests build objects on other threads.
std::atomic<int32_t> g_instanceCount{0};

CDaemon::SocketLibraryHooks g_socketLibrary = {platform::SocketLibraryStartup,
                                               platform::SocketLibraryCleanup};

CDaemon::ThreadStarter g_startThread = platform::StartThread;

constexpr unsigned kStopPollMs = 1;
}  // namespace

CDaemon::CDaemon() : running(false), threadCount(0) {
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

bool CDaemon::StartApplications() {
    int index = 0;
    bool outOfMemory = false;
    int taken = WalkConfigFile(
        configPath,
        [this, &index](std::unique_ptr<AppConfig> app) {
            StartApplication(index++, std::move(app));
            // The pause comes after the last application too.
            platform::SleepMs(timings.threadStartPauseMs);
        },
        &outOfMemory, [this](CXmlDocument& document) { StartStatus(document); });
    if (outOfMemory) {
        supervisor_log::ConfigOutOfMemory(taken);
    }
    return taken > 0;
}

void CDaemon::StartStatus(CXmlDocument& document) {
    const std::string configFolder = platform::FolderOf(configPath);
    const std::string folder = StatusFolder(document, configFolder);
    if (folder.empty()) {
        return;  // not enabled: nothing of it exists
    }
    // The writer makes a missing folder first, so the check finds it.
    status = std::make_unique<StatusService>(folder, platform::CurrentTime());
    status->Board().SetConfig(true, CountConfigPitfalls(document, configFolder));
    if (!status->Start()) {
        status.reset();
    }
}

void CDaemon::StartApplication(int index, std::unique_ptr<AppConfig> app) {
    app->owner = this;
    if (status) {
        status->Board().Add(*app, index);
    }
    running.store(true);
    AppConfig* record = app.release();
    // Counted before the thread runs, so that a thread that ends at once
    // never takes the count below zero.
    ++threadCount;
    platform::ThreadHandle handle = g_startThread(&DaemonThread, record);
    threads[static_cast<size_t>(index)] = handle;
    if (handle == nullptr) {
        --threadCount;
        if (status) {
            status->Board().NotWatched(index);
        }
        delete record;  // the thread never ran; nothing is logged
    }
}

bool CDaemon::Start() {
    bool taken = StartApplications();
    supervisor_log::Started();
    return taken;
}

bool CDaemon::Stop() {
    running.store(false);
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
    if (status) {
        // The last snapshot, with every watchdog ended.
        status->Stop();
    }
    supervisor_log::Stopped();
    return true;
}

void CDaemon::CountFiles(std::string folder, std::string extension, std::vector<std::string>& list,
                         std::string key) {
    CountMatchingFiles(std::move(folder), std::move(extension), list, std::move(key));
}
