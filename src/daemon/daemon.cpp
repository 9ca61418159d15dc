#include "daemon/daemon.h"

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
    // The configuration walk comes here: one AppConfig and one watchdog
    // thread per `app` element of config.xml, 250 ms apart.
    return false;
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
