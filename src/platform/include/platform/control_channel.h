// The daemon's local control channel: one request line in, one answer line
// out, on a channel only this machine can reach (POSIX: a Unix stream socket
// file; Win32: a named pipe that refuses remote clients), with who is calling
// as the system tells it. What the lines say is the caller's business; this
// moves bytes and identities.
//
// How the daemon serves it, on one thread of its own:
//
//     platform::ControlStop stop;          // Raise() from the daemon's stop
//     platform::ControlServer server;
//     platform::ControlOpenResult opened = server.Open(channel, access, limits);
//     if (opened.status != platform::ControlOpenStatus::kOpen) -> log opened.text, no control
//     for (;;) {
//         platform::ControlEvent event = server.Next(stop, 1000);
//         switch (event.kind) {
//             case kRequest:  refuse unless event.caller says so; else act, then
//                             server.Answer(event.client, answerLine);
//             case kTooLong:  server.Answer(event.client, refusalLine);
//             case kDropped:  log it if wanted (the client is gone already);
//             case kIdle:     nothing (or look at a stop flag of one's own);
//             case kStopped:  server.Close(); leave the loop;
//             case kFailed:   log event.text; leave the loop or wait and retry.
//         }
//     }
//
// The server never waits for one client: it reads and writes every client
// without blocking, and every client has a deadline (limits.readTimeoutMs to
// send its line, limits.writeTimeoutMs to take its answer) after which it is
// dropped. At most limits.maxClients are served at once; later ones wait in
// the system's queue (POSIX: the listen backlog; Win32: for a free pipe
// instance), and zelkctl's call gives up at its own deadline. Next() returns
// at once when the stop is raised, whatever it was waiting for.
//
// Not thread-safe: one thread uses a ControlServer; any thread (and, on
// POSIX, a signal handler) may raise its ControlStop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// A stop the server's waits watch: raising it ends the current and every
// later Next() at once. It cannot be lowered again.
class ControlStop {
  public:
    ControlStop();
    ~ControlStop();
    ControlStop(const ControlStop&) = delete;
    ControlStop& operator=(const ControlStop&) = delete;

    // False when the system gave no pipe or event for it (Next then fails).
    bool IsValid() const;
    // Raises the stop. Async-signal-safe on POSIX; from any thread.
    void Raise();
    bool IsRaised() const;

  private:
    friend class ControlServer;
    intptr_t handles_[2];  // POSIX: a pipe's read and write ends; Win32: an event
};

// The channel of the daemon run as a service: "/run/zelk/control.sock"
// (POSIX) or "\\.\pipe\ZELK_Daemon" (Win32).
std::string ServiceControlChannel();

// The channel of the daemon in console mode, derived from the daemon's
// folder (an absolute path): POSIX "<folder>/control.sock"; Win32
// "\\.\pipe\ZELK_Daemon-" and 16 hexadecimal digits of the folder's full
// path, letter case, slashes and a final separator aside.
std::string ConsoleControlChannel(const std::string& folder);

// Who may connect, as the system enforces it before a byte is read.
struct ControlAccess {
    // POSIX: a group whose members may connect too: the socket is then 0660
    // with that group, else 0600; its owner is the daemon's user. Not used
    // on Win32 (SYSTEM and the local Administrators only).
    std::string group;
    // Win32: the user who runs the daemon may connect too (console mode).
    // On POSIX the socket's owner always may.
    bool serverUser = false;
};

struct ControlLimits {
    std::size_t maxLineBytes = 64 * 1024;  // a request line, its line end aside
    unsigned readTimeoutMs = 2000;         // from the connect to the request's line end
    unsigned writeTimeoutMs = 2000;        // from the request to the answer taken
    unsigned maxClients = 16;              // served at once (1 to 63)
};

// Who is calling, as the system tells it at the connect (POSIX: the socket's
// peer credentials) or from the first bytes (Win32: the pipe client's token).
struct CallerIdentity {
    bool known = false;         // false: the system could not tell; refuse the request
    int64_t processId = -1;     // the client's process, as it was when it connected
    int64_t userId = -1;        // POSIX: uid; -1 on Win32
    int64_t groupId = -1;       // POSIX: the process's gid; -1 on Win32
    std::string user;           // POSIX: the user's name, or the uid in digits when it has
                                // none; Win32: DOMAIN\user, or the SID's text
    bool isSystem = false;      // POSIX: root; Win32: the LocalSystem account
    bool inGroup = false;       // POSIX: a member of ControlAccess::group (supplementary
                                // groups included); Win32: of the local Administrators,
                                // with the membership in force (an elevated token)
    bool isServerUser = false;  // the same user as the daemon's
};

enum class ControlOpenStatus {
    kOpen,
    kInUse,         // another server answers on the channel (or Win32: holds its name)
    kNameTaken,     // POSIX: something other than a socket has the name; left untouched
    kUnknownGroup,  // POSIX: ControlAccess::group names no group
    kPathTooLong,   // POSIX: the path is longer than a socket address can hold
    kFailed,        // the system refused; `error` tells why
};

struct ControlOpenResult {
    ControlOpenStatus status = ControlOpenStatus::kFailed;
    int32_t error = 0;  // the system's code for kFailed (and kInUse where known)
    std::string text;   // one line for the log, naming the channel; empty when kOpen
};

enum class ControlEventKind {
    kRequest,  // a whole line: answer it (or Refuse) before its write deadline
    kTooLong,  // more than limits.maxLineBytes came without a line end: answer or Refuse
    kDropped,  // a client was closed before its answer was taken; `text` says why
    kIdle,     // nothing within the wait Next was given
    kStopped,  // the stop was raised
    kFailed,   // the server itself failed (the system's code in `error`)
};

struct ControlEvent {
    ControlEventKind kind = ControlEventKind::kIdle;
    uint64_t client = 0;    // kRequest, kTooLong, kDropped: which client (from 1 on)
    std::string line;       // kRequest: the bytes before the line end (LF or CR LF),
                            // as sent, NUL bytes included
    CallerIdentity caller;  // kRequest, kTooLong, kDropped
    int32_t error = 0;
    std::string text;  // kDropped, kFailed: one line on what happened
};

class ControlServer {
  public:
    ControlServer();
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Creates the channel. POSIX: a socket file left by a server that has
    // gone is replaced; anything else of the name is an error and is not
    // touched. A path too long for a socket address is bound through the
    // folder opened by descriptor (/proc/self/fd/N/name) when that is short
    // enough, else kPathTooLong. The folder must not be writable by others.
    // Win32: the pipe's first instance (a name another process holds is
    // kInUse), byte mode, remote clients refused, with a descriptor granting
    // SYSTEM and the local Administrators (and the daemon's user, when
    // access.serverUser) full access and nobody else anything.
    ControlOpenResult Open(const std::string& channel, const ControlAccess& access,
                           const ControlLimits& limits = ControlLimits());

    // Waits up to `maxWaitMs` for the next event and returns it: a request,
    // a client dropped, or kIdle, kStopped, kFailed. Events found together
    // are handed out one per call, in order.
    ControlEvent Next(ControlStop& stop, unsigned maxWaitMs);

    // Sends `line` and a line end to `client`, which is then closed once it
    // has taken it (or at its write deadline). False when the client is gone
    // or was not waiting for an answer, or when `line` holds a line end (the
    // client is then closed without an answer).
    bool Answer(uint64_t client, const std::string& line);
    // Closes `client` without an answer.
    void Refuse(uint64_t client);

    // Drops every client and closes the channel (POSIX: removes the socket
    // file, when it is still the one this server made). Also on destruction.
    void Close();

    // The access of the channel as it was made, in the system's words:
    // POSIX the socket file's mode and group ("0660 zelk"); Win32 the pipe's
    // discretionary ACL in SDDL. Empty when not open or not readable.
    std::string AccessText() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

enum class ControlCallStatus {
    kAnswered,
    kNoChannel,  // nothing listens: the daemon is not running or has no control channel
    kDenied,     // the system refused the connect
    kTimedOut,   // no connection, or no whole answer, within the time
    kTooLong,    // the answer passed the cap without a line end
    kClosed,     // the daemon closed the connection without an answer
    kFailed,     // any other failure of the system
};

struct ControlCallResult {
    ControlCallStatus status = ControlCallStatus::kFailed;
    std::string answer;  // kAnswered: the bytes before the line end
    std::string error;   // one line for the operator, naming the channel; empty when answered
};

// zelkctl's side: connects to `channel`, sends `request` and a line end, and
// reads one answer line of at most `maxAnswerBytes`, all within `timeoutMs`
// (a channel busy with other clients is waited for within it). A request
// holding a line end is refused (kFailed) before anything is sent.
ControlCallResult CallControlChannel(const std::string& channel, const std::string& request,
                                     unsigned timeoutMs, std::size_t maxAnswerBytes = 64 * 1024);

// As CallControlChannel, but sends `bytes` exactly as given (no line end is
// added, none is refused), for clients that must misbehave: tests.
ControlCallResult ExchangeRawBytes(const std::string& channel, const std::string& bytes,
                                   unsigned timeoutMs, std::size_t maxAnswerBytes = 64 * 1024);

}  // namespace platform
