// What a watchdog reports: one event for each thing that happened on its
// thread, from its own counting, the message framing, the train handling, the
// result-file checks and the sub-application commands. Consumers (the log,
// the status record, the journal, the administrator events) implement
// WatchdogSink; none of the reporting units writes a log line or a console
// line itself.
//
// One convention for every count: the count after the event. The first
// silent wait of a connection has count 1, the failed read that terminates
// the application count 11. Every event also carries the watchdog's state as
// the event left it, so that no consumer rebuilds it.
#pragma once

#include <cstdint>
#include <string_view>

// The runs the watchdog counts; each has its own count and its own table rows
// (watchdog_state.h).
enum class Cycle {
    kNone,
    kConnecting,   // silent waits of a connection that has brought nothing yet
    kSilent,       // silent waits of a connected application
    kFailing,      // reads in a row that brought no data
    kWaitFailing,  // waits in a row that failed: the socket cannot be waited on
    kNoSocket,     // the socket could not be created
};

// Where a connection stands (see watchdog_state.h).
enum class ConnectionState { kConnecting, kConnected };

// The watchdog's counting state.
struct WatchdogState {
    ConnectionState connection = ConnectionState::kConnecting;
    int32_t connectTimeouts = 0;  // silent waits while connecting
    int32_t recvTimeouts = 0;     // silent waits once connected
    int32_t recvFailures = 0;     // failed reads in a row
    int32_t waitFailures = 0;     // failed waits in a row
    int32_t noSocketWaits = 0;    // waits sat out for want of a socket
    bool dataReceived = false;    // a read brought data since the connection attempt
    bool socketMissing = false;   // the connection attempt could not create a socket
};

enum class WatchdogEventKind {
    // The counting itself (watchdog_state.h).
    kConnectingWait,  // a silent wait while connecting; count: 1 to 30
    kSilentWait,      // a silent wait once connected; count: 1 to 60
    kReadFailed,      // a read that brought no data; count: 1 to 31; second: what the
                      // read returned (0: the peer closed, below 0: an error)
    kWaitFailed,      // the wait itself failed; count: failed waits in a row
    kConnected,       // the first data of a connection; count: connecting waits before it
    kResumed,         // data after silence or failed reads; cycle: which, count: how many
    kTerminate,       // a cycle reached its termination row; cycle, count
    kLaunch,          // a cycle reached its launch row; cycle, count
    kReconnect,       // a cycle reached its reconnection row: the socket is replaced; cycle, count

    // What the actions did.
    kTerminated,  // after kTerminate: count: processes terminated; second: -1 (no name), 0, 1 (all)
    kLaunched,    // after kLaunch: ok: started; code: the platform's error; second: session; text:
                  // command
    kConnectionAttempt,  // a socket was created (or not) and its connect issued

    // The rest of the thread's life.
    kThreadNotStarted,  // the supervisor could not start the thread: nobody watches
    kThreadStart,
    kThreadExit,
    kBuffersMissing,      // the buffers could not be obtained: the thread only waits for the stop
    kSocketCreateFailed,  // a new socket could not be created; code: why
    kReadable,            // the socket became readable
    kDataReceived,        // a read brought data; count: its bytes
    kBufferOverflow,      // unconsumed bytes were thrown away; count: those, second: the new bytes
    kHandshake,           // a handshake message was consumed
    kTrain,  // a train message with a "time"; text: the key, detail: the serial, count: vehicles
    kTrainKeyRefused,    // the key could leave the picture folder; text: the key
    kPictureTry,         // no picture found; text: the key, count: tries made (1 to 3)
    kXmlTry,             // no XML result file found; text: the key, count: tries made
    kMismatch,           // text: the key, count: pictures, second: XML files
    kUninstallStarting,  // the uninstall command is about to be handed to the shell
    kUninstall,          // it was: ok: the shell took it, second: the shell's answer, text: command
    kInstallStarting,    // the same for the install command
    kInstall,
    kOutOfMemory,  // a pass ran out of memory and was given up
};

struct WatchdogEvent {
    explicit WatchdogEvent(WatchdogEventKind what) : kind(what) {}

    WatchdogEventKind kind;
    Cycle cycle = Cycle::kNone;
    int32_t count = 0;
    int32_t second = 0;
    // The code of the event's log line: the last socket error where the line
    // has one, else 0 (or the try, for the try events).
    int32_t code = 0;
    bool ok = false;
    // The watchdog's state and its sub-application command state after the
    // event (filled by the watchdog for every event it hands on).
    WatchdogState state;
    bool installPending = false;
    // Valid only during the Report call.
    std::string_view text;
    std::string_view detail;
};

// Receives the events of one watchdog, on the watchdog's thread.
class WatchdogSink {
  public:
    virtual ~WatchdogSink() = default;
    virtual void Report(const WatchdogEvent& event) = 0;
};

// Hands every event to two sinks, in order.
class SinkPair final : public WatchdogSink {
  public:
    SinkPair(WatchdogSink& first, WatchdogSink& second) : first_(first), second_(second) {}
    void Report(const WatchdogEvent& event) override {
        first_.Report(event);
        second_.Report(event);
    }

  private:
    WatchdogSink& first_;
    WatchdogSink& second_;
};
