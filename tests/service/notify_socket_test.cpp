// The systemd side of the service host: registration towards NOTIFY_SOCKET
// and the datagrams each status report sends.
#include <gtest/gtest.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "../support/temp_folder.h"
#include "platform/service_host.h"
#include "service/service.h"

namespace {

using platform::ServiceStatus;

void IgnoreControl(uint32_t) {}

// A datagram socket the test owns, bound to a path or to an abstract name.
class Receiver {
  public:
    // `name` starting with '@' is an abstract name.
    explicit Receiver(const std::string& name) : name_(name) {
        fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.data(), name.size());
        socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
        if (name[0] == '@') {
            address.sun_path[0] = '\0';
        }
        bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0;
        timeval wait{2, 0};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    }
    ~Receiver() { Close(); }
    void Close() {
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
            if (name_[0] == '/') {
                unlink(name_.c_str());
            }
        }
    }
    bool bound() const { return bound_; }
    std::string Next() {
        char buffer[4096];
        ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        return n < 0 ? std::string("<nothing>") : std::string(buffer, static_cast<size_t>(n));
    }
    // Every datagram that arrives within `ms` milliseconds.
    std::vector<std::string> During(int ms) {
        std::vector<std::string> received;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd entry{fd_, POLLIN, 0};
            if (left.count() <= 0 || poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
                return received;
            }
            received.push_back(Next());
        }
    }

  private:
    std::string name_;
    int fd_ = -1;
    bool bound_ = false;
};

ServiceStatus StatusWith(uint32_t state) {
    return ServiceStatus{0x30, state, 7, 0, 0, 0, 9000};
}

void ExpectSequence(Receiver& receiver, platform::ServiceStatusHandle handle) {
    struct Row {
        uint32_t state;
        const char* datagram;
    };
    const Row rows[] = {
        {2, "STATUS=SERVICE_START_PENDING\n"},
        {4, "READY=1\nSTATUS=SERVICE_RUNNING\n"},
        {6, "STATUS=SERVICE_PAUSE_PENDING\n"},
        {7, "STATUS=SERVICE_PAUSED\n"},
        {5, "STATUS=SERVICE_CONTINUE_PENDING\n"},
        {4, "STATUS=SERVICE_RUNNING\n"},
        {3, "STOPPING=1\nSTATUS=SERVICE_STOP_PENDING\n"},
        {1, "STATUS=SERVICE_STOPPED\n"},
    };
    for (const Row& row : rows) {
        uint32_t error = 0;
        ASSERT_TRUE(platform::ReportServiceStatus(handle, StatusWith(row.state), &error));
        EXPECT_EQ(receiver.Next(), row.datagram);
    }
}

TEST(NotifySocket, AbstractNameGetsReadyOnceAndStatusEveryTime) {
    std::string name = "@zelk_notify_test_" + std::to_string(getpid());
    Receiver receiver(name);
    ASSERT_TRUE(receiver.bound());
    setenv("NOTIFY_SOCKET", name.c_str(), 1);
    platform::ServiceStatusHandle handle =
        platform::RegisterServiceControlHandler("ZELK_Daemon", IgnoreControl);
    ASSERT_NE(handle, nullptr);
    // Launched programs must not inherit the socket.
    EXPECT_EQ(std::getenv("NOTIFY_SOCKET"), nullptr);
    ExpectSequence(receiver, handle);
}

TEST(NotifySocket, PathSocket) {
    testing_support::TempFolder folder;
    std::string path = (folder.path() / "notify").string();
    Receiver receiver(path);
    ASSERT_TRUE(receiver.bound());
    setenv("NOTIFY_SOCKET", path.c_str(), 1);
    platform::ServiceStatusHandle handle =
        platform::RegisterServiceControlHandler("ZELK_Daemon", IgnoreControl);
    ASSERT_NE(handle, nullptr);
    ExpectSequence(receiver, handle);
}

TEST(NotifySocket, UnusableAddressesRefuseRegistration) {
    const char* addresses[] = {
        "", "@", "relative/path", "vsock:2:1234",
        "/a-path-longer-than-any-unix-socket-address-can-hold-"
        "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"};
    for (const char* address : addresses) {
        SCOPED_TRACE(address);
        setenv("NOTIFY_SOCKET", address, 1);
        EXPECT_EQ(platform::RegisterServiceControlHandler("ZELK_Daemon", IgnoreControl), nullptr);
    }
    unsetenv("NOTIFY_SOCKET");
    EXPECT_EQ(platform::RegisterServiceControlHandler("ZELK_Daemon", IgnoreControl), nullptr);
}

TEST(NotifySocket, SendFailureReturnsFalseWithAnErrorCode) {
    std::string name = "@zelk_notify_gone_" + std::to_string(getpid());
    Receiver receiver(name);
    setenv("NOTIFY_SOCKET", name.c_str(), 1);
    platform::ServiceStatusHandle handle =
        platform::RegisterServiceControlHandler("ZELK_Daemon", IgnoreControl);
    ASSERT_NE(handle, nullptr);
    receiver.Close();
    uint32_t error = 0;
    EXPECT_FALSE(platform::ReportServiceStatus(handle, StatusWith(4), &error));
    EXPECT_NE(error, 0u);
    // READY=1 was not delivered, so it goes with the next running report.
    Receiver again(name);
    ASSERT_TRUE(again.bound());
    ASSERT_TRUE(platform::ReportServiceStatus(handle, StatusWith(4), &error));
    EXPECT_EQ(again.Next(), "READY=1\nSTATUS=SERVICE_RUNNING\n");
}

TEST(NotifySocket, WatchdogIntervalIsTheOneAskedOfThisProcess) {
    struct Case {
        const char* usec;  // null: unset
        std::string pid;   // "": unset
        uint32_t intervalMs;
    };
    const std::string self = std::to_string(getpid());
    const std::vector<Case> cases = {
        {"30000000", "", 30000}, {"30000000", self, 30000},
        {"30000000", "1", 0},    {"30000000", "x1", 0},
        {"500", "", 1},          {"0", "", 0},
        {"-5", "", 0},           {"3e7", "", 0},
        {nullptr, self, 0},      {"99999999999999999999", "", 0},
    };
    std::string name = "@zelk_notify_watchdog_" + self;
    Receiver receiver(name);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.usec ? c.usec : "(unset)") + " pid " + c.pid);
        setenv("NOTIFY_SOCKET", name.c_str(), 1);
        c.usec ? setenv("WATCHDOG_USEC", c.usec, 1) : unsetenv("WATCHDOG_USEC");
        c.pid.empty() ? unsetenv("WATCHDOG_PID") : setenv("WATCHDOG_PID", c.pid.c_str(), 1);
        platform::ServiceStatusHandle handle =
            platform::RegisterServiceControlHandler("ZELK_Daemon", IgnoreControl);
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(platform::ServiceAliveIntervalMs(handle), c.intervalMs);
        // Launched programs must not take the watchdog for theirs.
        EXPECT_EQ(std::getenv("WATCHDOG_USEC"), nullptr);
        EXPECT_EQ(std::getenv("WATCHDOG_PID"), nullptr);
    }
    EXPECT_EQ(platform::ServiceAliveIntervalMs(nullptr), 0u);
}

// The service host under a service manager that watches it: ServiceMain with
// the platform's notify socket and a supervisor that is well or not.
namespace watched {
std::atomic<bool> healthy{true};
void Init() {}
bool Start() {
    return true;
}
bool Stop() {
    return true;
}
bool Healthy() {
    return healthy.load();
}
}  // namespace watched

TEST(ServiceWatchdog, PingsArriveWhileTheSupervisorIsWellAndStopWhenNot) {
    std::string name = "@zelk_notify_alive_" + std::to_string(getpid());
    Receiver receiver(name);
    ASSERT_TRUE(receiver.bound());
    setenv("NOTIFY_SOCKET", name.c_str(), 1);
    setenv("WATCHDOG_USEC", "100000", 1);  // a ping every 50 ms
    unsetenv("WATCHDOG_PID");
    ServiceHooks saved =
        SetServiceHooks({platform::RegisterServiceControlHandler, platform::ReportServiceStatus,
                         watched::Init, watched::Start, watched::Stop, nullptr, watched::Healthy,
                         platform::ServiceAliveIntervalMs, platform::ReportServiceAlive});
    auto pings = [](const std::vector<std::string>& datagrams) {
        return std::count(datagrams.begin(), datagrams.end(), "WATCHDOG=1\n");
    };

    watched::healthy = true;
    ServiceMain(0, nullptr);
    EXPECT_EQ(receiver.Next(), "STATUS=SERVICE_START_PENDING\n");
    EXPECT_EQ(receiver.Next(), "READY=1\nSTATUS=SERVICE_RUNNING\n");
    EXPECT_GE(pings(receiver.During(400)), 4);

    watched::healthy = false;
    receiver.During(100);  // a ping that was under way
    EXPECT_EQ(pings(receiver.During(400)), 0);

    watched::healthy = true;
    EXPECT_GE(pings(receiver.During(400)), 4);

    Service_Ctrl(platform::kControlStop);
    std::vector<std::string> atStop = receiver.During(100);
    ASSERT_FALSE(atStop.empty());
    EXPECT_EQ(atStop.back(), "STATUS=SERVICE_STOPPED\n");
    EXPECT_EQ(pings(receiver.During(300)), 0);
    SetServiceHooks(saved);
}

// A ServiceMain that reports running and returns between the dispatcher's
// read of the reported state and its read of "ServiceMain returned": the
// dispatcher must go on serving controls, not take the stale start-pending
// state for a failed registration and return while the service runs.
namespace interleaving {
std::atomic<bool> pendingReported{false};
std::atomic<bool> released{false};
std::atomic<bool> stopSent{false};
std::vector<uint32_t> controls;  // touched by the dispatcher's thread only
platform::ServiceStatusHandle handle = nullptr;

void Handler(uint32_t control) {
    controls.push_back(control);
    uint32_t error = 0;
    platform::ReportServiceStatus(handle, StatusWith(platform::kServiceStopped), &error);
}

void Main(int, char**) {
    handle = platform::RegisterServiceControlHandler("ZELK_Daemon", Handler);
    uint32_t error = 0;
    platform::ReportServiceStatus(handle, StatusWith(platform::kServiceStartPending), &error);
    pendingReported.store(true);
    while (!released.load()) {
        std::this_thread::yield();
    }
    platform::ReportServiceStatus(handle, StatusWith(platform::kServiceRunning), &error);
}

// Runs on the dispatcher's thread between its two reads.
void Probe() {
    if (!pendingReported.load()) {
        return;
    }
    if (!released.exchange(true)) {
        // The state was read as start pending: now let ServiceMain report
        // running and return before the dispatcher's next read.
        while (!platform::ServiceMainReturned()) {
            std::this_thread::yield();
        }
    } else if (!stopSent.exchange(true)) {
        pthread_kill(pthread_self(), SIGTERM);  // blocked here, taken by the dispatcher's wait
    }
}
}  // namespace interleaving

TEST(ServiceDispatcher, ServiceMainReturningJustAfterTheStateWasReadIsNoFailedRegistration) {
    std::string name = "@zelk_dispatch_test_" + std::to_string(getpid());
    Receiver receiver(name);
    ASSERT_TRUE(receiver.bound());
    setenv("NOTIFY_SOCKET", name.c_str(), 1);
    platform::SetDispatcherProbe(interleaving::Probe);
    EXPECT_TRUE(platform::RunServiceDispatcher("ZELK_Daemon", interleaving::Main));
    platform::SetDispatcherProbe(nullptr);
    EXPECT_EQ(interleaving::controls, std::vector<uint32_t>{platform::kControlStop});
}

TEST(ServiceDispatcher, AServiceMainThatCannotRegisterEndsTheDispatcher) {
    setenv("NOTIFY_SOCKET", "relative/unusable", 1);
    EXPECT_TRUE(platform::RunServiceDispatcher("ZELK_Daemon", [](int, char**) {
        EXPECT_EQ(platform::RegisterServiceControlHandler("ZELK_Daemon", IgnoreControl), nullptr);
    }));
    unsetenv("NOTIFY_SOCKET");
}

}  // namespace
