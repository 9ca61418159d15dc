#include "daemon/daemon.h"

#include "daemon/config_walk.h"
#include "log/log.h"
#include "platform/socket_library.h"
#include "platform/system.h"

namespace {
// Changed only while objects are built and destroyed on the controlling
// thread; atomic all the same, since tests build objects on other threads.
std::atomic<int32_t> g_instanceCount{0};

CDaemon::SocketLibraryHooks g_socketLibrary = {platform::SocketLibraryStartup,
                                               platform::SocketLibraryCleanup};

constexpr unsigned kStopPollMs = 1;
}  // namespace

CDaemon::CDaemon() : running(false), threadCount(0) {
    threads.fill(nullptr);
    if (g_instanceCount.load() == 0) {
        g_socketLibrary.startup();
    }
    ++g_instanceCount;
    ZELK_LOG(LogLevel::kTrace, 0, "Create Daemon!");
}

CDaemon::~CDaemon() {
    Stop();
    --g_instanceCount;
    ZELK_LOG(LogLevel::kTrace, 0, "Destroy Daemon!");
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
        &outOfMemory);
    if (outOfMemory) {
        ZELK_LOG(LogLevel::kWarning, 0,
                 "config.xml not used beyond its first %d application(s): out of memory", taken);
    }
    return taken > 0;
}

void CDaemon::StartApplication(int index, std::unique_ptr<AppConfig> app) {
    app->owner = this;
    running.store(true);
    AppConfig* record = app.release();
    // Counted before the thread runs, so that a thread that ends at once
    // never takes the count below zero.
    ++threadCount;
    platform::ThreadHandle handle = platform::StartThread(&CDaemon::DaemonThread, record);
    threads[static_cast<size_t>(index)] = handle;
    if (handle == nullptr) {
        --threadCount;
        delete record;  // the thread never ran; nothing is logged
    }
}

bool CDaemon::Start() {
    bool taken = StartApplications();
    ZELK_LOG(LogLevel::kTrace, 0, "Start Server!");
    return taken;
}

bool CDaemon::Stop() {
    running.store(false);
    ZELK_LOG(LogLevel::kTrace, 0, "wait stop Server thread !");
    while (threadCount.load() > 0) {
        platform::SleepMs(kStopPollMs);
    }
    ZELK_LOG(LogLevel::kTrace, 0, "stop Server thread over !");
    for (platform::ThreadHandle& handle : threads) {
        if (handle != nullptr) {
            platform::CloseThreadHandle(handle);
            handle = nullptr;
        }
    }
    ZELK_LOG(LogLevel::kTrace, 0, "Stop Server!");
    return true;
}
