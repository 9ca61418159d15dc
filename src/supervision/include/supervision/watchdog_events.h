// What a watchdog reports: one event for each thing that happened on its
// thread, from its own counting, the message framing, the train handling, the
// result-file checks and the sub-application commands. Consumers (the log,
// the status record, the journal, the administrator events) implement
// WatchdogSink; none of the reporting units writes a log line or a console
// line itself.
//
// Each kind is a small struct of its own named fields (watchdog_event below)
// and one alternative of WatchdogPayload; a consumer visits the payload and
// handles the kinds it cares about. Adding a kind is its struct, its entry in
// WatchdogPayload and a case in the consumers that care.
//
// One convention for every count: the count after the event. The first
// silent wait of a connection has waits 1, the failed read that terminates
// the application failures 11. Every event also carries the watchdog's state
// as the event left it, so that no consumer rebuilds it.
#pragma once

#include <cstdint>
#include <string_view>
#include <type_traits>
#include <variant>

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
    bool paused = false;          // in maintenance: the rows that act on the application wait
};

// What became of one dump of a silent application taken before its
// termination (the evidence folder of config.xml).
enum class EvidenceResult {
    kWritten,
    kTimedOut,      // abandoned at the time limit, the partial file removed
    kFailed,        // the file could not be made or written (`error` tells why)
    kNotAvailable,  // this system has no way to write one
    kNotKept,       // it would not fit the folder's bounds or the disk: none was begun, or it was
                    // abandoned
};

// The kinds. A text is a view valid only during the Report call. A
// `socketError` is the thread's last socket error when the event was
// reported: the code its log line shows.
namespace watchdog_event {

// The counting itself (watchdog_state.h): what one pass counted and the rows
// its count reached.
struct ConnectingWait {  // a silent wait while connecting
    int32_t waits = 0;   // 1 to 30
    int32_t socketError = 0;
};
struct SilentWait {     // a silent wait once connected
    int32_t waits = 0;  // 1 to 60
    int32_t socketError = 0;
};
struct ReadFailed {          // a read that brought no data
    int32_t failures = 0;    // 1 to 31
    int32_t readResult = 0;  // what the read returned: 0 the peer closed, below 0 an error
    int32_t socketError = 0;
};
struct WaitFailed {        // the wait itself failed
    int32_t failures = 0;  // failed waits in a row
    int32_t socketError = 0;
};
struct Connected {      // the first data of a connection
    int32_t waits = 0;  // the connecting waits before it
    int32_t socketError = 0;
};
struct Resumed {                 // data after silence or failed reads
    Cycle after = Cycle::kNone;  // kSilent or kFailing
    int32_t count = 0;           // the silent waits or failed reads it ended
    int32_t socketError = 0;
};
struct Terminate {  // a cycle reached its termination row
    Cycle cycle = Cycle::kNone;
    int32_t count = 0;  // the cycle's count: the row's
    int32_t socketError = 0;
};
struct Launch {  // a cycle reached its launch row
    Cycle cycle = Cycle::kNone;
    int32_t count = 0;
    int32_t socketError = 0;
};
struct Reconnect {  // a cycle reached its reconnection row: the socket is replaced
    Cycle cycle = Cycle::kNone;
    int32_t count = 0;
    int32_t socketError = 0;
};

// What the actions did.
struct Terminated {  // after Terminate
    Cycle cycle = Cycle::kNone;
    int32_t processes = 0;  // processes actually terminated
    int32_t result = 0;     // -1 no name, 0 none matched or one failed, 1 all
};
struct Launched {  // after Launch
    Cycle cycle = Cycle::kNone;
    bool started = false;
    int32_t error = 0;       // the platform's error code when not started
    int32_t session = 0;     // the session it was launched into
    bool userFound = false;  // false: no user was logged on to launch for
    std::string_view command;
};
struct Evidence {           // a dump of one process, just before Terminated
    std::string_view path;  // the dump file; empty when none was begun
    uint64_t bytes = 0;     // its size, when written
    uint32_t milliseconds = 0;
    EvidenceResult result = EvidenceResult::kFailed;
    int32_t error = 0;  // the platform's code, for kFailed
    // The first dump not written since the last one that was (or since the
    // start): the one a warning is given for.
    bool streakStart = false;
};
struct ConnectionAttempt {};  // a socket was created (or not) and its connect issued

// The rest of the thread's life.
struct ThreadNotStarted {};  // the supervisor could not start the thread: nobody watches
struct ThreadStart {};
struct ThreadExit {};
struct BuffersMissing {};  // the buffers could not be obtained: the thread only waits for the stop
struct SocketCreateFailed {  // a new socket could not be created
    int32_t error = 0;       // why
};
struct Readable {};    // the socket became readable
struct DataReceived {  // a read brought data
    int32_t bytes = 0;
};
struct BufferOverflow {     // unconsumed bytes were thrown away
    int32_t discarded = 0;  // those bytes
    int32_t kept = 0;       // the new bytes kept
};
struct Handshake {           // a handshake message was consumed
    int32_t handshakes = 0;  // of this connection, as the command state counts them
};
struct Train {  // a train message with a "time"
    std::string_view key;
    std::string_view serial;  // of vehicle 1, or empty
    int32_t vehicles = 0;
    int32_t socketError = 0;
};
struct TrainKeyRefused {  // the key could leave the picture folder
    std::string_view key;
};
struct PictureTry {  // no picture found
    std::string_view key;
    int32_t tries = 0;  // tries made: 1 to 3
};
struct XmlTry {  // no XML result file found
    std::string_view key;
    int32_t tries = 0;
};
struct Mismatch {  // the result files do not match
    std::string_view key;
    int32_t pictures = 0;
    int32_t xmlFiles = 0;
};
struct UninstallStarting {};  // the uninstall command is about to be handed to the shell
struct Uninstall {            // it was
    std::string_view command;
    bool taken = false;     // the shell took it
    int32_t shellCode = 0;  // the shell's answer
};
struct InstallStarting {};  // the same for the install command
struct Install {
    std::string_view command;
    bool taken = false;
    int32_t shellCode = 0;
};
struct OutOfMemory {};  // a pass ran out of memory and was given up

}  // namespace watchdog_event

using WatchdogPayload = std::variant<
    watchdog_event::ConnectingWait, watchdog_event::SilentWait, watchdog_event::ReadFailed,
    watchdog_event::WaitFailed, watchdog_event::Connected, watchdog_event::Resumed,
    watchdog_event::Terminate, watchdog_event::Launch, watchdog_event::Reconnect,
    watchdog_event::Terminated, watchdog_event::Launched, watchdog_event::Evidence,
    watchdog_event::ConnectionAttempt, watchdog_event::ThreadNotStarted,
    watchdog_event::ThreadStart, watchdog_event::ThreadExit, watchdog_event::BuffersMissing,
    watchdog_event::SocketCreateFailed, watchdog_event::Readable, watchdog_event::DataReceived,
    watchdog_event::BufferOverflow, watchdog_event::Handshake, watchdog_event::Train,
    watchdog_event::TrainKeyRefused, watchdog_event::PictureTry, watchdog_event::XmlTry,
    watchdog_event::Mismatch, watchdog_event::UninstallStarting, watchdog_event::Uninstall,
    watchdog_event::InstallStarting, watchdog_event::Install, watchdog_event::OutOfMemory>;

// True when `Kind` is one of the alternatives of `Variant`.
template <typename Kind, typename Variant>
struct IsAlternativeOf : std::false_type {};
template <typename Kind, typename... Kinds>
struct IsAlternativeOf<Kind, std::variant<Kinds...>>
    : std::disjunction<std::is_same<Kind, Kinds>...> {};

// One visitor made of several callables, for std::visit: each handles the
// kinds its parameter takes, and a `const auto&` one takes the rest.
template <typename... Callables>
struct Overloaded : Callables... {
    using Callables::operator()...;
};
template <typename... Callables>
Overloaded(Callables...) -> Overloaded<Callables...>;

struct WatchdogEvent {
    // An event of one kind; the watchdog adds its state as it hands it on.
    template <typename Kind,
              typename = std::enable_if_t<IsAlternativeOf<Kind, WatchdogPayload>::value>>
    WatchdogEvent(const Kind& kind) : what(kind) {}  // NOLINT(google-explicit-constructor)

    template <typename Kind>
    bool Is() const {
        return std::holds_alternative<Kind>(what);
    }
    // The event's fields when it is of `Kind`, else null.
    template <typename Kind>
    const Kind* As() const {
        return std::get_if<Kind>(&what);
    }

    WatchdogPayload what;
    // The watchdog's state and its sub-application command state after the
    // event (filled by the watchdog for every event it hands on).
    WatchdogState state;
    bool installPending = false;
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
