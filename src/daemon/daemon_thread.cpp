// CDaemon::DaemonThread: the watchdog thread of one application. A thin loop
// around the counting of watchdog_state: wait, turn what happened into an
// event, step, carry out the actions.
#include <cstdio>
#include <cstring>
#include <memory>

#include "daemon/command_state.h"
#include "daemon/daemon.h"
#include "daemon/file_checks.h"
#include "daemon/framing.h"
#include "daemon/train_message.h"
#include "daemon/watchdog_state.h"
#include "log/log.h"
#include "platform/memory.h"
#include "platform/system.h"
#include "platform/tcp_client.h"

// Every line of the watchdog is written under the thread procedure's name,
// whichever helper writes it.
#define WATCHDOG_LOG(level, code, ...) \
    WriteLog((level), __LINE__, "CDaemon::DaemonThread", (code), __VA_ARGS__)

namespace {

// One read's bytes; a read takes one byte less, so a terminating zero fits.
constexpr std::size_t kReceiveBufferBytes = 10485760;

void PrintLine(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

// The receive buffer: lazily backed zero pages. `used` marks how far reads
// have written since the last clear, so a clear touches only those bytes.
class ReceiveBuffer {
  public:
    ReceiveBuffer()
        : data_(static_cast<char*>(platform::AllocateZeroedPages(kReceiveBufferBytes))) {}
    ~ReceiveBuffer() { platform::ReleasePages(data_, kReceiveBufferBytes); }
    ReceiveBuffer(const ReceiveBuffer&) = delete;
    ReceiveBuffer& operator=(const ReceiveBuffer&) = delete;

    bool Ready() const { return data_ != nullptr; }
    char* Data() { return data_; }
    int ReadLimit() const { return static_cast<int>(kReceiveBufferBytes - 1); }
    // Puts the terminating zero after `n` received bytes.
    void Terminate(int n) {
        data_[n] = '\0';
        if (static_cast<std::size_t>(n) + 1 > used_) {
            used_ = static_cast<std::size_t>(n) + 1;
        }
    }
    // The same as filling the whole buffer with zeros.
    void Clear() {
        std::memset(data_, 0, used_);
        used_ = 0;
    }

  private:
    char* data_;
    std::size_t used_ = 0;
};

// Everything one watchdog thread owns.
struct Watchdog {
    std::unique_ptr<AppConfig> app;
    CDaemon* owner;
    DaemonTimings timings;
    platform::TcpClient socket;
    WatchdogState state;
    ReceiveBuffer receive;
    MessageFramer messages;
    // The sub-application's command state; reset with every new connection
    // attempt, so a reconnection cancels a pending install.
    CommandState commands;
    DirectoryFileCounter files;
    PlatformShellRunner shell;
    TrainServices services;

    explicit Watchdog(AppConfig* record)
        : app(record),
          owner(record->owner),
          timings(owner->Timings()),
          messages(record->name),
          services{files, shell, platform::SleepMs} {}

    void BeginConnectionAttempt();
    void Pass();
    void CarryOut(const WatchdogActions& actions, int received);
    void WriteNote(const WatchdogNote& note);
    void HandleReceived(int received);
};

void Watchdog::BeginConnectionAttempt() {
    commands.Reset();
    receive.Clear();
    messages.Clear();
    if (!socket.Create()) {
        WATCHDOG_LOG(LogLevel::kTrace, platform::LastSocketError(), "create socket faile");
    }
    state = NewConnectionState();
    socket.SetNonBlocking();
    socket.Connect(app->address.family, app->address.port, app->address.address);
}

void Watchdog::Pass() {
    WatchdogEvent event;
    int received = 0;
    int waited = socket.WaitReadable(timings.readWaitMs);
    if (waited < 0) {
        event = WatchdogEvent::kWaitFailed;
    } else if (waited == 0) {
        event = WatchdogEvent::kTimeout;
    } else {
        received = socket.Receive(receive.Data(), receive.ReadLimit());
        event = received > 0 ? WatchdogEvent::kReadData : WatchdogEvent::kReadFailed;
    }
    CarryOut(Step(&state, event), received);
}

void Watchdog::CarryOut(const WatchdogActions& actions, int received) {
    if (actions.printError) {
        PrintLine("error");
    }
    if (actions.sleepAfterFailedRead) {
        platform::SleepMs(timings.failedReadSleepMs);
    }
    if (actions.reconnect) {
        socket.Close();
    }
    for (int i = 0; i < actions.noteCount; ++i) {
        WriteNote(actions.notes[i]);
    }
    if (actions.closeExe) {
        owner->CloseExe(app->name);
    }
    if (actions.openExe) {
        owner->OpenExe(app->path);
    }
    if (actions.handleData) {
        HandleReceived(received);
    }
    if (actions.reconnect) {
        BeginConnectionAttempt();
    }
    if (actions.pauseAfterFailedWait) {
        // A socket that cannot be waited on fails every wait at once; without
        // a pause the thread would spin and flood the log.
        platform::SleepMs(timings.readWaitMs);
    }
}

void Watchdog::WriteNote(const WatchdogNote& note) {
    const int32_t code = platform::LastSocketError();
    const char* name = app->name.c_str();
    const int count = static_cast<int>(note.count);
    switch (note.message) {
        case WatchdogMessage::kConnecting:
            WATCHDOG_LOG(LogLevel::kTrace, code, "%s CONNECTING %s %dcount", name, app->ip.c_str(),
                         count);
            break;
        case WatchdogMessage::kConnectCloseProcess:
            WATCHDOG_LOG(LogLevel::kTrace, code, "connect time out, try close process:%s", name);
            break;
        case WatchdogMessage::kConnectOpenProcess:
            WATCHDOG_LOG(LogLevel::kTrace, code, "connect time out, try open process:%s", name);
            break;
        case WatchdogMessage::kConnectGotoLoop:
            WATCHDOG_LOG(LogLevel::kTrace, code, "connect time out, goto loop");
            break;
        case WatchdogMessage::kRecvCloseProcess:
            WATCHDOG_LOG(LogLevel::kTrace, code, "recv data time out, try close process:%s", name);
            break;
        case WatchdogMessage::kRecvOpenProcess:
            WATCHDOG_LOG(LogLevel::kTrace, code, "recv data time out, try open process:%s", name);
            break;
        case WatchdogMessage::kRecvGotoLoop:
            WATCHDOG_LOG(LogLevel::kTrace, code, "recv data time out, goto loop");
            break;
        case WatchdogMessage::kRecvFailure:
            WATCHDOG_LOG(LogLevel::kTrace, code, "%s recv data failure %d", name, count);
            break;
        case WatchdogMessage::kFailureCloseProcess:
            WATCHDOG_LOG(LogLevel::kTrace, code, "%s recv data failure %d, try close process", name,
                         count);
            break;
        case WatchdogMessage::kFailureOpenProcess:
            WATCHDOG_LOG(LogLevel::kTrace, code, "%s recv data failure %d, try open process", name,
                         count);
            break;
        case WatchdogMessage::kFailureGotoLoop:
            WATCHDOG_LOG(LogLevel::kTrace, code, "recv data failure, goto loop");
            break;
        case WatchdogMessage::kSocketError:
            WATCHDOG_LOG(LogLevel::kTrace, code, "socket error");
            break;
    }
}

void Watchdog::HandleReceived(int received) {
    std::printf("%s ==> Recv data ok!\n", app->name.c_str());
    std::fflush(stdout);
    receive.Terminate(received);
    FramedMessage message = messages.Append(receive.Data(), static_cast<std::size_t>(received));
    if (message.kind == MessageKind::kTrain) {
        HandleTrainMessage(message.text, *app, platform::LastSocketError(), commands, services);
    } else if (message.kind == MessageKind::kHandshake) {
        HandleHandshake(commands, *app, shell);
    }
}

}  // namespace

unsigned ZELK_THREAD_CALL CDaemon::DaemonThread(void* config) {
    PrintLine("thead in");
    CDaemon* owner = static_cast<AppConfig*>(config)->owner;
    {
        auto watchdog = std::make_unique<Watchdog>(static_cast<AppConfig*>(config));
        if (!watchdog->receive.Ready() || !watchdog->messages.Ready()) {
            // Without its buffers the thread cannot watch; it waits for the
            // stop all the same, so that the supervisor's count stays true.
            WATCHDOG_LOG(LogLevel::kTrace, 0, "%s alloc buffer faile", watchdog->app->name.c_str());
            while (owner->running.load()) {
                platform::SleepMs(watchdog->timings.readWaitMs);
            }
        } else {
            watchdog->BeginConnectionAttempt();
            while (owner->running.load()) {
                watchdog->Pass();
            }
        }
        // Closes the socket, releases the record and both buffers.
    }
    // The last line is written before the count is lowered: once it reaches
    // zero the supervisor may return from Stop and the process may end, and
    // a line written after that could be lost.
    WATCHDOG_LOG(LogLevel::kTrace, 0, "Thread exit!");
    PrintLine("thead exit");
    --owner->threadCount;
    return 0;
}
