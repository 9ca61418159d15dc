// What a watchdog reports: one event for each thing that happened on its
// thread, from its own counting, the message framing, the train handling, the
// result-file checks and the sub-application commands. Consumers (the log,
// the status record) implement WatchdogSink; none of the reporting units
// writes a log line or a console line itself.
#pragma once

#include <cstdint>
#include <string_view>

enum class WatchdogEventKind {
    // The counting of the loop (see watchdog_state.h); `count` as each says.
    kConnecting,           // a silent wait while connecting; count: waits before this one
    kConnectCloseProcess,  // the 10th such wait: the application is terminated
    kConnectOpenProcess,   // the 20th: it is launched
    kConnectGotoLoop,      // the 30th: the socket is replaced
    kRecvCloseProcess,     // the 30th silent wait once connected
    kRecvOpenProcess,      // the 45th
    kRecvGotoLoop,         // the 60th
    kRecvFailure,          // a failed read; count: failures before this one
    kFailureCloseProcess,  // the 11th failed read in a row; count: 11
    kFailureOpenProcess,   // the 20th; count: 20
    kFailureGotoLoop,      // the 31st
    kWaitFailed,           // the wait itself failed

    // The rest of the thread's life.
    kThreadStart,
    kThreadExit,
    kBuffersMissing,      // the buffers could not be obtained: the thread only waits for the stop
    kSocketCreateFailed,  // a new socket could not be created
    kSilentWait,          // a silent wait once connected; count: its number (1 to 60)
    kReadable,            // the socket became readable
    kDataReceived,        // a read brought data; count: its bytes
    kBufferOverflow,      // unconsumed bytes were thrown away; count: those, second: the new bytes
    kHandshake,           // a handshake message was consumed
    kTrain,               // a train message with a "time"; text: the train key
    kTrainKeyRefused,     // the key could leave the picture folder; text: the key
    kPictureTry,          // no picture found; text: the key, count: the try (0 to 2)
    kXmlTry,              // no XML result file found; text: the key, count: the try
    kMismatch,            // count: pictures, second: XML files
    kUninstall,           // the uninstall command was handed to the shell
    kInstall,             // the install command was handed to the shell
    kOutOfMemory,         // a pass ran out of memory and was given up
};

struct WatchdogEvent {
    explicit WatchdogEvent(WatchdogEventKind what) : kind(what) {}

    WatchdogEventKind kind;
    int32_t count = 0;
    int32_t second = 0;
    // The code of the event's log line: the last socket error where the line
    // has one, else 0 (or the try, for the try events).
    int32_t code = 0;
    // Valid only during the Report call.
    std::string_view text;
};

// Receives the events of one watchdog, on the watchdog's thread.
class WatchdogSink {
  public:
    virtual ~WatchdogSink() = default;
    virtual void Report(const WatchdogEvent& event) = 0;
};
