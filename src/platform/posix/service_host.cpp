// The service host under systemd (Type=notify). The dispatcher accepts the
// process when NOTIFY_SOCKET is set; status reports become notify datagrams
// and control requests arrive as signals.
#include "platform/service_host.h"

#include <signal.h>
#include <stddef.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <thread>

#include "platform/console.h"

namespace platform {

namespace {
// Where reports go. Written by registration on the service thread before any
// report; used only by reports, which the caller serialises.
struct NotifyChannel {
    int socket = -1;
    sockaddr_un address{};
    socklen_t addressLength = 0;
    bool readySent = false;
    // From WATCHDOG_USEC; 0 when the service manager watches nothing.
    uint32_t aliveIntervalMs = 0;
};
NotifyChannel g_channel;

std::atomic<ServiceControlHandler> g_handler{nullptr};
// The state of the last report, sent or not; 0 before the first one. The
// dispatcher's thread reads it to know when the service has stopped.
std::atomic<uint32_t> g_reportedState{0};
std::atomic<bool> g_serviceMainReturned{false};
// Set by a successful registration during the current dispatcher run. A
// ServiceMain that returns without it failed to register, and nothing will
// report any more.
std::atomic<bool> g_registered{false};
std::atomic<DispatcherProbe> g_probe{nullptr};

constexpr long kSignalWaitNs = 50L * 1000 * 1000;

const char* StateName(uint32_t state) {
    switch (state) {
        case kServiceStopped:
            return "SERVICE_STOPPED";
        case kServiceStartPending:
            return "SERVICE_START_PENDING";
        case kServiceStopPending:
            return "SERVICE_STOP_PENDING";
        case kServiceRunning:
            return "SERVICE_RUNNING";
        case kServiceContinuePending:
            return "SERVICE_CONTINUE_PENDING";
        case kServicePausePending:
            return "SERVICE_PAUSE_PENDING";
        case kServicePaused:
            return "SERVICE_PAUSED";
        default:
            return "SERVICE_UNKNOWN_STATE";
    }
}

// Fills `channel`'s address from NOTIFY_SOCKET: an absolute path, or "@name"
// for the abstract namespace. False for anything else or a name too long.
bool ParseNotifyAddress(const char* text, NotifyChannel* channel) {
    std::size_t length = std::strlen(text);
    if (length < 2 || (text[0] != '/' && text[0] != '@') ||
        length >= sizeof(channel->address.sun_path)) {
        return false;
    }
    channel->address = sockaddr_un{};
    channel->address.sun_family = AF_UNIX;
    std::memcpy(channel->address.sun_path, text, length);
    socklen_t pathBytes = static_cast<socklen_t>(length);
    if (text[0] == '@') {
        // Abstract names are exactly their bytes, the leading NUL included.
        channel->address.sun_path[0] = '\0';
    } else {
        ++pathBytes;  // the terminating NUL
    }
    channel->addressLength = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path)) + pathBytes;
    return true;
}

// The value of a variable that holds only decimal digits (at most 18, so
// it fits), or -1.
long long DecimalVariable(const char* name) {
    const char* text = std::getenv(name);
    if (text == nullptr || text[0] == '\0' || std::strlen(text) > 18) {
        return -1;
    }
    long long value = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return -1;
        }
        value = value * 10 + (*c - '0');
    }
    return value;
}

// The watchdog interval systemd asks of this process, in milliseconds (at
// least 1), or 0: none asked, a value that is not a number, or one meant for
// another process.
uint32_t WatchdogIntervalFromEnvironment() {
    long long microseconds = DecimalVariable("WATCHDOG_USEC");
    if (microseconds <= 0) {
        return 0;
    }
    if (std::getenv("WATCHDOG_PID") != nullptr &&
        DecimalVariable("WATCHDOG_PID") != static_cast<long long>(getpid())) {
        return 0;
    }
    long long milliseconds = microseconds / 1000;
    if (milliseconds < 1) {
        return 1;
    }
    return milliseconds > 0xFFFFFFFFLL ? 0xFFFFFFFFu : static_cast<uint32_t>(milliseconds);
}

uint32_t ControlForSignal(int signal) {
    switch (signal) {
        case SIGUSR1:
            return kControlPause;
        case SIGUSR2:
            return kControlContinue;
        case SIGHUP:
            return kControlInterrogate;
        default:  // SIGTERM, SIGINT
            return kControlStop;
    }
}

struct ServiceThreadStart {
    ServiceMainFunction serviceMain;
    std::string name;
};
}  // namespace

bool RunServiceDispatcher(const char* name, ServiceMainFunction serviceMain) {
    const char* notifySocket = std::getenv("NOTIFY_SOCKET");
    if (notifySocket == nullptr || notifySocket[0] == '\0') {
        return false;
    }
    // Blocked here, before any other thread exists, so that every thread
    // inherits the mask and the signals reach only the wait below.
    sigset_t controls;
    sigemptyset(&controls);
    for (int signal : {SIGTERM, SIGINT, SIGUSR1, SIGUSR2, SIGHUP}) {
        sigaddset(&controls, signal);
    }
    pthread_sigmask(SIG_BLOCK, &controls, nullptr);

    g_reportedState.store(0);
    g_serviceMainReturned.store(false);
    g_registered.store(false);
    g_handler.store(nullptr);
    std::thread service([serviceMain, serviceName = std::string(name)] {
        // The argument list the service manager passes: the service's name.
        std::string argument = serviceName;
        char* argv[] = {&argument[0], nullptr};
        serviceMain(1, argv);
        g_serviceMainReturned.store(true);
    });

    // Controls wait until ServiceMain has returned, that is until the start
    // has been reported in full, as the service manager refuses controls
    // while a start is pending.
    std::deque<uint32_t> held;
    for (;;) {
        if (g_reportedState.load() == kServiceStopped) {
            break;
        }
        if (DispatcherProbe probe = g_probe.load()) {
            probe();
        }
        const bool started = g_serviceMainReturned.load();
        if (started && !g_registered.load()) {
            break;  // registration failed: nothing will report any more
        }
        ServiceControlHandler handler = g_handler.load();
        if (started && !held.empty() && handler != nullptr) {
            uint32_t control = held.front();
            held.pop_front();
            handler(control);
            continue;
        }
        timespec wait{0, kSignalWaitNs};
        int signal = sigtimedwait(&controls, nullptr, &wait);
        if (signal > 0) {
            held.push_back(ControlForSignal(signal));
        }
    }
    service.join();
    // The control signals stay blocked: one arriving late must not end the
    // process before main has finished.
    return true;
}

ServiceStatusHandle RegisterServiceControlHandler(const char* /*name*/,
                                                  ServiceControlHandler handler) {
    const char* notifySocket = std::getenv("NOTIFY_SOCKET");
    NotifyChannel channel;
    if (notifySocket == nullptr || !ParseNotifyAddress(notifySocket, &channel)) {
        return nullptr;
    }
    channel.socket = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (channel.socket < 0) {
        return nullptr;
    }
    if (g_channel.socket >= 0) {
        close(g_channel.socket);
    }
    channel.aliveIntervalMs = WatchdogIntervalFromEnvironment();
    g_channel = channel;
    // Launched programs must not report to this service's socket, nor take
    // its watchdog for theirs.
    unsetenv("NOTIFY_SOCKET");
    unsetenv("WATCHDOG_USEC");
    unsetenv("WATCHDOG_PID");
    g_handler.store(handler);
    g_registered.store(true);
    return &g_channel;
}

bool ReportServiceStatus(ServiceStatusHandle handle, const ServiceStatus& status, uint32_t* error) {
    g_reportedState.store(status.currentState);
    auto* channel = static_cast<NotifyChannel*>(handle);
    if (channel == nullptr || channel->socket < 0) {
        *error = EBADF;
        return false;
    }
    std::string message;
    bool ready = status.currentState == kServiceRunning && !channel->readySent;
    if (ready) {
        message += "READY=1\n";
    }
    if (status.currentState == kServiceStopPending) {
        message += "STOPPING=1\n";
    }
    message += "STATUS=";
    message += StateName(status.currentState);
    message += "\n";

    ssize_t sent;
    do {
        sent = sendto(channel->socket, message.data(), message.size(), MSG_NOSIGNAL,
                      reinterpret_cast<const sockaddr*>(&channel->address), channel->addressLength);
    } while (sent < 0 && errno == EINTR);
    if (sent != static_cast<ssize_t>(message.size())) {
        int code = sent < 0 ? errno : EMSGSIZE;
        *error = static_cast<uint32_t>(code != 0 ? code : EIO);
        return false;
    }
    if (ready) {
        channel->readySent = true;
    }
    return true;
}

uint32_t ServiceAliveIntervalMs(ServiceStatusHandle handle) {
    auto* channel = static_cast<NotifyChannel*>(handle);
    return channel == nullptr ? 0 : channel->aliveIntervalMs;
}

bool ReportServiceAlive(ServiceStatusHandle handle, uint32_t* error) {
    auto* channel = static_cast<NotifyChannel*>(handle);
    if (channel == nullptr || channel->socket < 0) {
        *error = EBADF;
        return false;
    }
    static const char kAlive[] = "WATCHDOG=1\n";
    const std::size_t length = sizeof kAlive - 1;
    ssize_t sent;
    do {
        sent = sendto(channel->socket, kAlive, length, MSG_NOSIGNAL | MSG_DONTWAIT,
                      reinterpret_cast<const sockaddr*>(&channel->address), channel->addressLength);
    } while (sent < 0 && errno == EINTR);
    if (sent != static_cast<ssize_t>(length)) {
        int code = sent < 0 ? errno : EMSGSIZE;
        *error = static_cast<uint32_t>(code != 0 ? code : EIO);
        return false;
    }
    return true;
}

void SetDispatcherProbe(DispatcherProbe probe) {
    g_probe.store(probe);
}

bool ServiceMainReturned() {
    return g_serviceMainReturned.load();
}

void PauseAfterService() {
    if (isatty(STDIN_FILENO)) {
        ConsolePause();
    }
}

}  // namespace platform
