// The control channel's lines, which zelkctl writes and the daemon reads (and
// back): one JSON object per line, protocol version 1 (docs/control.md).
// Pure: no system, no time; the daemon decides what a request may do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int kControlProtocolVersion = 1;
// The longest request line, its line end aside (the channel enforces it too).
inline constexpr std::size_t kControlLineBytes = 64 * 1024;
// The longest application name and reason a request may carry.
inline constexpr std::size_t kControlNameBytes = 256;
inline constexpr std::size_t kControlReasonBytes = 1000;

enum class ControlOp {
    kStatus,   // the pauses in force
    kPause,    // app, reason, optional seconds
    kResume,   // app
    kRestart,  // app, reason
    kReload,   // optional dryRun
};

struct ControlRequest {
    ControlOp op = ControlOp::kStatus;
    std::string app;
    std::string reason;   // UTF-8 without control characters
    int64_t seconds = 0;  // kPause: the pause's length; 0 for the default
    bool dryRun = false;  // kReload
};

// Why a request line was not taken; each has its code on the wire.
enum class RequestFault {
    kNone,
    kTooLong,    // "too_long": more than kControlLineBytes
    kMalformed,  // "malformed": not one JSON object (or nested too deep)
    kVersion,    // "version": "v" is missing or not 1
    kUnknownOp,  // "unknown_op"
    kBadField,   // "bad_field": a field unknown, of the wrong type, missing or out of range
};

struct ParsedRequest {
    RequestFault fault = RequestFault::kNone;
    std::string message;  // kNone: empty; else one line for the operator
    ControlRequest request;
};

// Reads one request line (its line end already taken off). Never throws;
// any byte sequence is answered with a fault.
ParsedRequest ParseControlRequest(std::string_view line);

// The line of `request`, without a line end.
std::string FormatControlRequest(const ControlRequest& request);

// The wire name of an operation ("pause") and of a fault ("too_long").
const char* ControlOpName(ControlOp op);
const char* RequestFaultCode(RequestFault fault);

// A pause in force, as the daemon tells it and keeps it.
struct PauseEntry {
    std::string app;
    std::string by;  // the caller's user name
    std::string reason;
    int64_t sinceMs = 0;  // milliseconds since the epoch (UTC)
    int64_t untilMs = 0;
};

// One application a reload touches (or would): its name, "changed",
// "added" or "removed", and for a changed one the settings that moved.
struct ReloadChange {
    std::string app;
    std::string change;
    std::vector<std::string> fields;
};

struct ControlAnswer {
    bool ok = false;
    std::string error;    // a code ("denied", "unknown_app", a RequestFaultCode); empty when ok
    std::string message;  // one line for the operator
    std::string app;
    int64_t untilMs = 0;             // a granted pause's end; 0 otherwise
    std::vector<PauseEntry> pauses;  // kStatus: the pauses in force
    // kReload: whether it was a dry run, the applications it touches, the
    // option elements whose settings changed, and what the config check found
    // (the findings that refused it among them).
    bool dryRun = false;
    std::vector<ReloadChange> changes;
    std::vector<std::string> settings;
    std::vector<std::string> findings;
};

// The answer's line, without a line end; bytes of the texts that are not
// UTF-8 become U+FFFD.
std::string FormatControlAnswer(const ControlAnswer& answer);

// The daemon's state file keeps the pauses in force, one line each, in the
// form of an answer's "pauses" items. ParsePauseLine is false for a line that
// is not one.
std::string FormatPauseLine(const PauseEntry& pause);
bool ParsePauseLine(std::string_view line, PauseEntry* pause);

// Reads an answer line; false when it is not one (the daemon of another
// version, or garbage).
bool ParseControlAnswer(std::string_view line, ControlAnswer* answer);
